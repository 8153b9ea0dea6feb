// The export of a picture at any size: its dialog, and its render on a thread
// of its own into a file written whole or not at all.
#include "pictureexport.h"

#include "atomicfile.h"
#include "form1.h"
#include "outsidetext.h"
#include "passthreads.h"
#include "picturefile.h"
#include "picturescan.h"
#include "viewmath.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <system_error>

namespace pictureexport {

RenderJob job(const View& view, QSize size, int samples)
{
    RenderJob job;
    job.view = fittedView(view, size.width(), size.height(),
                          pixelShape(view, picture::columns, picture::rows));
    job.width = size.width();
    job.height = size.height();
    job.samples = samples;
    return job;
}

QString refusal(const RenderJob& job, const QString& fileName)
{
    const QString suffix = QFileInfo(fileName).suffix();
    if (!suffix.isEmpty() && suffix.compare(QLatin1String("png"), Qt::CaseInsensitive) != 0)
        return QStringLiteral("Izvožena slika je vedno PNG: ime datoteke naj ima končnico ».png«, "
                              "ne ».%1«.")
            .arg(shownText(suffix));
    if (job.width < 1 || job.height < 1 || job.width > Render::largestSide ||
        job.height > Render::largestSide || job.samples < 1 || job.samples > RenderJob::mostSamples)
        return QStringLiteral("Širina in višina slike morata biti od 1 do %1, število vzorcev pa "
                              "od 1 do %2.")
            .arg(Render::largestSide)
            .arg(RenderJob::mostSamples);
    if (const ViewError fault = viewFault(job.view, job.width, job.height).kind;
        fault != ViewError::none)
        return Form1::cannotDrawText(
            fault, QStringLiteral(" v velikosti %1 × %2").arg(job.width).arg(job.height));
    return {};
}

} // namespace pictureexport

namespace {

QSpinBox* spinBox(const char* name, int most, int value, QWidget* parent)
{
    auto* box = new QSpinBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(1, most);
    box->setValue(value);
    return box;
}

} // namespace

ExportDialog::ExportDialog(const View& view, QWidget* parent)
    : QDialog(parent), m_view(view), m_folder(picturefile::startFolder())
{
    setObjectName(QStringLiteral("exportDialog"));
    setWindowTitle(QStringLiteral("Izvozi sliko"));
    m_width = spinBox("width", Render::largestSide, picture::columns, this);
    m_height = spinBox("height", Render::largestSide, picture::rows, this);
    m_samples = spinBox("samples", RenderJob::mostSamples, 1, this);
    auto* hint = new QLabel(QStringLiteral("N × N vzorcev na piksel, povprečenih: gladkejša "
                                           "slika, N²-krat daljše risanje."),
                            this);
    hint->setWordWrap(true);
    m_file = new QLineEdit(
        QDir::toNativeSeparators(QDir(m_folder).filePath(picturefile::proposedName(m_folder))),
        this);
    m_file->setObjectName(QStringLiteral("file"));
    auto* browseButton = new QPushButton(QStringLiteral("Prebrskaj …"), this);
    browseButton->setObjectName(QStringLiteral("browse"));
    browseButton->setAutoDefault(false);
    connect(browseButton, &QPushButton::clicked, this, &ExportDialog::browse);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(m_file, 1);
    fileRow->addWidget(browseButton);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Š&irina v pikslih:"), m_width);
    form->addRow(QStringLiteral("&Višina v pikslih:"), m_height);
    form->addRow(QStringLiteral("V&zorci (N):"), m_samples);
    form->addRow(QString(), hint);
    form->addRow(QStringLiteral("&Datoteka:"), fileRow);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* exportButton =
        buttons->addButton(QStringLiteral("Izvozi"), QDialogButtonBox::AcceptRole);
    exportButton->setObjectName(QStringLiteral("export"));
    exportButton->setDefault(true);
    buttons->addButton(QStringLiteral("Prekliči"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &ExportDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ExportDialog::reject);
    connect(m_file, &QLineEdit::textChanged, exportButton,
            [exportButton](const QString& text) { exportButton->setEnabled(!text.isEmpty()); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel(QStringLiteral("Trenutni pogled nariše v sliko PNG izbrane velikosti."), this));
    layout->addLayout(form);
    layout->addWidget(buttons);
}

QString ExportDialog::fileName() const
{
    QString name = QDir(m_folder).absoluteFilePath(QDir::fromNativeSeparators(m_file->text()));
    if (QFileInfo(name).suffix().isEmpty())
        name += QStringLiteral(".png");
    return name;
}

QSize ExportDialog::pictureSize() const
{
    return {m_width->value(), m_height->value()};
}

int ExportDialog::samples() const
{
    return m_samples->value();
}

void ExportDialog::accept()
{
    const QString why =
        pictureexport::refusal(pictureexport::job(m_view, pictureSize(), samples()), fileName());
    if (!why.isEmpty()) {
        Form1::showError(this, why);
        return;
    }
    QDialog::accept();
}

void ExportDialog::browse()
{
    const QString chosen = picturefile::askExportName(this, fileName());
    if (!chosen.isEmpty())
        m_file->setText(QDir::toNativeSeparators(chosen));
}

PictureExport::PictureExport(const RenderJob& job, const QString& fileName, int threads,
                             QWidget* window)
    : QObject(window), m_job(job), m_fileName(fileName), m_threads(threads)
{
    m_progress = new QProgressDialog(
        QStringLiteral("Izvažam sliko v »%1« …").arg(shownText(QDir::toNativeSeparators(fileName))),
        QStringLiteral("Prekliči"), 0, job.height, window);
    m_progress->setObjectName(QStringLiteral("exportProgress"));
    m_progress->setWindowTitle(QStringLiteral("Izvoz slike"));
    // Beside the window, which goes on taking input.
    m_progress->setWindowModality(Qt::NonModal);
    m_progress->setAutoReset(false);
    connect(m_progress, &QProgressDialog::canceled, this, [this] { m_stop = true; });
    connect(this, &PictureExport::advanced, this, &PictureExport::update, Qt::QueuedConnection);
}

PictureExport::~PictureExport()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    delete m_progress;
}

void PictureExport::start()
{
    m_progress->setValue(0);
    m_progress->show();
    try {
        m_thread = std::thread(&PictureExport::run, this);
    } catch (const std::system_error& error) {
        m_failure = QString::fromLocal8Bit(error.what());
        m_ended = true;
        emit advanced();
    }
}

// On the render's thread. What it hands over to the window's thread is in
// atomics, which advanced() sends it to read: the rows drawn, and at the end
// the failure, written before m_ended.
void PictureExport::run()
{
    AtomicFile file(m_fileName);
    QString failure = picturefile::open(file);
    if (failure.isEmpty()) {
        PassThreads threads;
        threads.setThreads(m_threads);
        Render render(threads);
        const auto progress = [this](int rows) {
            m_rows = rows;
            emit advanced();
        };
        const Render::Outcome outcome = render.run(m_job, {.png = &file}, progress, &m_stop);
        // A render that ends as it is cancelled is not kept either.
        if (outcome == Render::Outcome::writeFailed)
            failure = render.errorString();
        else if (outcome == Render::Outcome::done && !m_stop && !file.commit())
            failure = file.errorString();
    }
    file.discard();
    m_failure = failure;
    m_ended = true;
    emit advanced();
}

void PictureExport::update()
{
    if (m_reported)
        return;
    if (!m_ended) {
        if (!m_stop)
            m_progress->setValue(m_rows);
        return;
    }
    if (m_thread.joinable())
        m_thread.join();
    m_reported = true;
    m_progress->hide();
    emit ended(m_failure);
}
