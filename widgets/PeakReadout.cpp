// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/PeakReadout.h"

#include "dsp/PeakPicking.h"
#include "widgets/PlotMarkers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QSpinBox>
#include <QTableWidget>

#include <qcustomplot.h>

#include <cmath>

namespace {

int decimalsFor(double step)
{
    if (!(step > 0) || !std::isfinite(step))
        return 3;
    return qBound(0, int(std::ceil(-std::log10(step / 100))), 9);
}

QString cell(double v, int decimals)
{
    return std::isfinite(v) ? QString::number(v, 'f', decimals) : QStringLiteral("–");
}

} // namespace

PeakReadout::PeakReadout(QCustomPlot *plot, Page page, QWidget *parent)
    : QWidget(parent), plot(plot), page(page)
{
    setObjectName(QStringLiteral("peakReadout"));
    makeTable();
    QLayout *settings = makeSettings();
    makeNote();
    connect(table, &QTableWidget::cellClicked, this, [this](int r, int) {
        if (PlotMarkers *markers = PlotMarkers::of(this->plot); markers && r < int(listed.size()))
            markers->place(listed[size_t(r)].position);
    });

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(table, 3);
    layout->addWidget(noteLabel, 3);
    layout->addLayout(settings, 2);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    addGraphs();

    auto changed = [this] { emit settingsChanged(); };
    connect(windowBox, &QComboBox::currentIndexChanged, this, changed);
    connect(countBox, &QSpinBox::valueChanged, this, changed);
    connect(cfarBox, &QCheckBox::toggled, this, changed);
    connect(guardBox, &QSpinBox::valueChanged, this, changed);
    connect(trainingBox, &QSpinBox::valueChanged, this, changed);
    connect(pfaBox, &QComboBox::currentIndexChanged, this, changed);
}

void PeakReadout::makeTable()
{
    QStringList headers;
    switch (page) {
    case Page::Spectrum:
        headers << tr("Frequency (Hz)") << tr("Level (dBV)");
        break;
    case Page::Range:
        headers << tr("Range (m)") << tr("Beat (Hz)") << tr("Level (dBV)");
        break;
    case Page::DopplerShift:
        headers << tr("Shift (Hz)") << tr("Velocity (m/s)") << tr("Level (dBV)");
        break;
    case Page::DopplerVelocity:
        headers << tr("Velocity (m/s)") << tr("Shift (Hz)") << tr("Level (dBV)");
        break;
    }
    table = new QTableWidget(3, int(headers.size()), this);
    table->setObjectName(QStringLiteral("peak_tbl"));
    table->setHorizontalHeaderLabels(headers);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::ContiguousSelection);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    table->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const int rowsHeight = 3 * table->verticalHeader()->defaultSectionSize();
    table->setFixedHeight(rowsHeight + table->horizontalHeader()->sizeHint().height() +
                          2 * table->frameWidth());
}

QLayout *PeakReadout::makeSettings()
{
    windowBox = new QComboBox(this);
    windowBox->setObjectName(QStringLiteral("window_cmb"));
    windowBox->addItems({tr("None"), tr("Hann"), tr("Blackman-Harris")});
    windowBox->setCurrentIndex(1); // Hann: a tone's sidelobes stay below the floor of most frames
    countBox = new QSpinBox(this);
    countBox->setObjectName(QStringLiteral("peakCount_txt"));
    countBox->setRange(1, 10);
    countBox->setValue(5); // only reflectors are listed now, so a few more rows cost nothing
    cfarBox = new QCheckBox(tr("CFAR"), this);
    cfarBox->setObjectName(QStringLiteral("cfar_ckbx"));
    cfarBox->setToolTip(tr("Cell-averaging CFAR: list the detections above an adaptive threshold"));
    guardBox = new QSpinBox(this);
    guardBox->setObjectName(QStringLiteral("cfarGuard_txt"));
    guardBox->setRange(0, 50);
    guardBox->setValue(2);
    guardBox->setToolTip(tr("Guard cells each side, in frame bins"));
    trainingBox = new QSpinBox(this);
    trainingBox->setObjectName(QStringLiteral("cfarTraining_txt"));
    trainingBox->setRange(1, 200);
    trainingBox->setValue(16);
    trainingBox->setToolTip(tr("Training cells each side, in frame bins"));
    pfaBox = new QComboBox(this);
    pfaBox->setObjectName(QStringLiteral("cfarPfa_cmb"));
    for (const char *p : {"1e-2", "1e-3", "1e-4", "1e-5", "1e-6", "1e-8"})
        pfaBox->addItem(QString::fromLatin1(p), QString::fromLatin1(p).toDouble());
    pfaBox->setCurrentIndex(2);
    pfaBox->setToolTip(tr("False-alarm rate"));

    auto *settings = new QGridLayout;
    settings->setContentsMargins(0, 0, 0, 0);
    settings->addWidget(new QLabel(tr("Window:"), this), 0, 0);
    settings->addWidget(windowBox, 0, 1);
    settings->addWidget(new QLabel(tr("Peaks:"), this), 0, 2);
    settings->addWidget(countBox, 0, 3);
    settings->addWidget(cfarBox, 1, 0);
    auto *cfarRow = new QHBoxLayout;
    cfarRow->addWidget(new QLabel(tr("Guard"), this));
    cfarRow->addWidget(guardBox);
    cfarRow->addWidget(new QLabel(tr("Train"), this));
    cfarRow->addWidget(trainingBox);
    cfarRow->addWidget(new QLabel(tr("Pfa"), this));
    cfarRow->addWidget(pfaBox);
    settings->addLayout(cfarRow, 1, 1, 1, 3);
    settings->setRowStretch(2, 1);
    return settings;
}

void PeakReadout::makeNote()
{
    noteLabel = new QLabel(this);
    noteLabel->setObjectName(QStringLiteral("peakNote_lbl"));
    noteLabel->setWordWrap(true);
    noteLabel->setToolTip(tr("In an FMCW sweep every peak of this page is the beat of a range, "
                             "not a Doppler shift"));
    noteLabel->setFixedHeight(table->height());
    noteLabel->hide();
}

void PeakReadout::addGraphs()
{
    markers = plot->addGraph();
    markers->setLineStyle(QCPGraph::lsNone);
    markers->setScatterStyle(
        QCPScatterStyle(QCPScatterStyle::ssCircle, QPen(QColor(220, 0, 0), 1.5), Qt::NoBrush, 9));
    markers->setName(QStringLiteral("peaks"));
    threshold = plot->addGraph();
    threshold->setPen(QPen(QColor(0, 150, 0), 1, Qt::DashLine));
    threshold->setAdaptiveSampling(true);
    threshold->setAntialiased(false);
    threshold->setName(QStringLiteral("CFAR threshold"));
    threshold->setVisible(false);
}

SpectrumWindow PeakReadout::window() const
{
    switch (windowBox->currentIndex()) {
    case 1:
        return SpectrumWindow::Hann;
    case 2:
        return SpectrumWindow::BlackmanHarris;
    default:
        return SpectrumWindow::None;
    }
}

bool PeakReadout::cfarOn() const { return cfarBox->isChecked(); }

int PeakReadout::peakCount() const { return countBox->value(); }

double PeakReadout::position(double bin, double hzPerBin, const RadarMath::FrameAxes &axes) const
{
    const double hz = bin * hzPerBin;
    switch (page) {
    case Page::Range:
        return RadarMath::rangeForBeat(hz, axes.sweep);
    case Page::DopplerVelocity:
        return RadarMath::velocityForDoppler(hz, RadarMath::carrierHz(axes.sweep));
    default:
        return hz;
    }
}

QVector<double> PeakReadout::keys(int bins, const RadarMath::FrameAxes &axes, int frameLength) const
{
    QVector<double> k(qMax(bins, 0));
    const double hzPerBin = RadarMath::binSpacingHz(axes.sampleRateHz(), frameLength);
    for (int i = 0; i < k.size(); ++i)
        k[i] = position(i, hzPerBin, axes);
    return k;
}

double PeakReadout::other(double hz, const RadarMath::FrameAxes &axes) const
{
    switch (page) {
    case Page::Range:
    case Page::DopplerVelocity:
        return hz;
    case Page::DopplerShift:
        return RadarMath::velocityForDoppler(hz, RadarMath::carrierHz(axes.sweep));
    default:
        return qQNaN();
    }
}

void PeakReadout::setNote(const QString &note)
{
    noteLabel->setText(note);
    noteLabel->setVisible(!note.isEmpty());
    table->setVisible(note.isEmpty());
    if (!note.isEmpty())
        clear();
}

void PeakReadout::show(const DisplaySpectrum &spectrum, const RadarMath::FrameAxes &axes,
                       int frameLength)
{
    if (!noteLabel->isHidden())
        return;
    const double hzPerBin = RadarMath::binSpacingHz(axes.sampleRateHz(), frameLength);
    listed.clear();
    QVector<QCPGraphData> points;
    for (const Peaks::Peak &p : findPeaks(spectrum, axes, hzPerBin)) {
        const double bin = p.bin;
        Row row{position(bin, hzPerBin, axes), other(bin * hzPerBin, axes), p.levelDb};
        listed.push_back(row);
        points.append(QCPGraphData(row.position, row.levelDb));
    }
    std::sort(points.begin(), points.end(),
              [](const QCPGraphData &a, const QCPGraphData &b) { return a.key < b.key; });
    markers->data()->set(points, true);
    fillTable(axes, hzPerBin);
    numberMarkers();
}

std::vector<Peaks::Peak> PeakReadout::findPeaks(const DisplaySpectrum &spectrum,
                                                const RadarMath::FrameAxes &axes, double hzPerBin)
{
    const QVector<double> &db = spectrum.shown;
    const int width = RadarMath::kPaddingFactor;
    const int k = countBox->value();
    if (!cfarBox->isChecked()) {
        threshold->data()->clear();
        threshold->setVisible(false);
        const bool tapered = spectrum.detection.size() == db.size();
        const QVector<double> &detection = tapered ? spectrum.detection : db;
        const SpectrumWindow detectionWindow =
            window() == SpectrumWindow::None && tapered ? SpectrumWindow::Hann : window();
        return Peaks::reflectors(db.constData(), detection.constData(), int(db.size()),
                                 detectionWindow, width, k);
    }
    // The zero-frequency bin of the frame is never a target.
    const int first = qMin<int>(width, db.size());
    const double *values = db.constData() + first;
    const int n = int(db.size()) - first;
    Peaks::CfarSettings s;
    s.guardCells = guardBox->value();
    s.trainingCells = trainingBox->value();
    s.falseAlarmRate = pfaBox->currentData().toDouble();
    const Peaks::CfarResult r = Peaks::cfar(values, n, s, width, n, width);
    std::vector<Peaks::Peak> found; // in bins of db
    for (Peaks::Peak p : r.detections) {
        p.bin += first;
        found.push_back(p);
    }
    found = Peaks::clearOfLeakage(found, window(), width,
                                  Peaks::zeroHzSource(db.constData(), int(db.size())));
    if (int(found.size()) > k)
        found.resize(size_t(k));
    QVector<QCPGraphData> line(n);
    for (int i = 0; i < n; ++i)
        line[i] = QCPGraphData(position(first + i, hzPerBin, axes), r.thresholdDb[size_t(i)]);
    threshold->data()->set(line, true);
    threshold->setVisible(true);
    return found;
}

void PeakReadout::fillTable(const RadarMath::FrameAxes &axes, double hzPerBin)
{
    table->setRowCount(qMax(countBox->value(), 1));
    const int columns = table->columnCount();
    for (int r = 0; r < table->rowCount(); ++r) {
        const bool has = r < int(listed.size());
        QStringList texts;
        if (has) {
            const Row &row = listed[size_t(r)];
            // Digits down to a hundredth of a bin, so the table reads as finely as the peak is
            // placed.
            const double binStep =
                std::fabs(position(1.0, hzPerBin, axes) - position(0.0, hzPerBin, axes));
            const double otherStep = std::fabs(other(hzPerBin, axes) - other(0.0, axes));
            texts << cell(row.position, decimalsFor(binStep));
            if (columns == 3)
                texts << cell(row.other, decimalsFor(otherStep));
            texts << cell(row.levelDb, 2);
        }
        for (int c = 0; c < columns; ++c) {
            QTableWidgetItem *item = table->item(r, c);
            if (!item) {
                item = new QTableWidgetItem;
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                table->setItem(r, c, item);
            }
            item->setText(has ? texts.value(c) : QString());
        }
    }
}

// Numbers on the plot beside the listed peaks, as the table's rows number them.
void PeakReadout::numberMarkers()
{
    while (labels.size() < int(listed.size())) {
        auto *label = new QCPItemText(plot);
        label->setPositionAlignment(Qt::AlignHCenter | Qt::AlignBottom);
        label->setColor(QColor(220, 0, 0));
        label->setPadding(QMargins(0, 0, 0, 6));
        labels.append(label);
    }
    for (int i = 0; i < labels.size(); ++i) {
        const bool on = i < int(listed.size());
        labels[i]->setVisible(on);
        if (on) {
            labels[i]->position->setCoords(listed[size_t(i)].position, listed[size_t(i)].levelDb);
            labels[i]->setText(QString::number(i + 1));
        }
    }
}

void PeakReadout::clear()
{
    listed.clear();
    markers->data()->clear();
    threshold->data()->clear();
    for (QCPItemText *label : std::as_const(labels))
        label->setVisible(false);
    for (int r = 0; r < table->rowCount(); ++r)
        for (int c = 0; c < table->columnCount(); ++c)
            if (QTableWidgetItem *item = table->item(r, c))
                item->setText(QString());
}
