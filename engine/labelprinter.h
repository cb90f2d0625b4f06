#pragma once

#include <QImage>
#include <QList>
#include <QSizeF>
#include <QString>

#include <memory>

class QPrinter;

// Where barcode labels are printed. The application installs a backend at
// start-up, like Prompts: the PDF backend when DRAVIN_LABEL_PDF_DIR names a
// folder (the demo and tests), else the system's default printer. print()
// is the one way labels reach either: each label is a job of one page,
// sized to the printer's printable area.
class LabelPrinter
{
public:
    enum class Outcome
    {
        Printed,
        NoPrinter, // nothing printed
        JobFailed, // a job could not start; the labels after it were not printed
    };

    virtual ~LabelPrinter() = default;

    // A printer at screen resolution, not yet set up for labels, or null
    // when there is none.
    virtual std::unique_ptr<QPrinter> openPrinter() = 0;
    // Called before each label's job.
    virtual bool beginJob(QPrinter& printer) = 0;

    // Reads the printable area in whole millimetres, makes the page that
    // wide and 2.5 mm higher with no margins, and prints each image fitted
    // to the page with its proportions kept. No labels open no printer.
    Outcome print(const QList<QImage>& labels);

    // The installed backend, else the system printer.
    static LabelPrinter& instance();
    // Installs a backend (not owned); nullptr goes back to the system one.
    static void install(LabelPrinter* printer);
    // The PDF backend for the folder DRAVIN_LABEL_PDF_DIR names, or null
    // when the variable is not set.
    static std::unique_ptr<LabelPrinter> fromEnvironment();
};

// The system's default printer in its native format.
class SystemLabelPrinter : public LabelPrinter
{
public:
    std::unique_ptr<QPrinter> openPrinter() override;
    bool beginJob(QPrinter& printer) override;
};

// A label printer that writes each job to its own PDF file in a folder
// (label-001.pdf, label-002.pdf ...), never over an existing file.
class PdfLabelPrinter : public LabelPrinter
{
public:
    explicit PdfLabelPrinter(const QString& folder, const QSizeF& printableMm = QSizeF(60, 40));

    QString folder() const { return m_folder; }
    // The files written so far, in job order.
    QStringList files() const { return m_files; }

    std::unique_ptr<QPrinter> openPrinter() override;
    bool beginJob(QPrinter& printer) override;

private:
    QString m_folder;
    QSizeF m_printableMm;
    QStringList m_files;
};
