#include "labelprinter.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

namespace {
LabelPrinter* s_installed = nullptr;
}

LabelPrinter::Outcome LabelPrinter::print(const QList<QImage>& labels)
{
    if (labels.isEmpty())
        return Outcome::Printed;
    const std::unique_ptr<QPrinter> printer = openPrinter();
    if (!printer)
        return Outcome::NoPrinter;

    // Before full-page mode the printer reports its printable area.
    const int widthMm = printer->widthMM();
    const int heightMm = printer->heightMM();
    qDebug() << "label printer" << printer->logicalDpiX() << printer->logicalDpiY() << printer->width()
             << printer->height() << widthMm << heightMm << printer->pageLayout().pageSize().name();

    printer->setPageOrientation(QPageLayout::Portrait);
    printer->setFullPage(true);
    printer->setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    printer->setPageSize(
        QPageSize(QSizeF(widthMm, heightMm + 2.5), QPageSize::Millimeter, QString(), QPageSize::ExactMatch));

    for (int i = 0; i < labels.size(); ++i) {
        const QImage& image = labels.at(i);
        QPainter painter;
        if (!beginJob(*printer) || !painter.begin(printer.get()))
            return Outcome::JobFailed;
        const QRect viewport = painter.viewport();
        const QSize fitted = image.size().scaled(viewport.size(), Qt::KeepAspectRatio);
        painter.setViewport(viewport.x(), viewport.y(), fitted.width(), fitted.height());
        painter.setWindow(image.rect());
        painter.drawImage(0, 0, image);
        qDebug() << "label" << i;
        if (!painter.end())
            return Outcome::JobFailed;
    }
    return Outcome::Printed;
}

LabelPrinter& LabelPrinter::instance()
{
    static SystemLabelPrinter system;
    return s_installed ? *s_installed : system;
}

void LabelPrinter::install(LabelPrinter* printer)
{
    s_installed = printer;
}

std::unique_ptr<LabelPrinter> LabelPrinter::fromEnvironment()
{
    const QString folder = qEnvironmentVariable("DRAVIN_LABEL_PDF_DIR");
    if (folder.isEmpty())
        return nullptr;
    return std::make_unique<PdfLabelPrinter>(folder);
}

std::unique_ptr<QPrinter> SystemLabelPrinter::openPrinter()
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        return nullptr;
    auto printer = std::make_unique<QPrinter>(info, QPrinter::ScreenResolution);
    printer->setOutputFormat(QPrinter::NativeFormat);
    return printer->isValid() ? std::move(printer) : nullptr;
}

bool SystemLabelPrinter::beginJob(QPrinter&)
{
    return true;
}

PdfLabelPrinter::PdfLabelPrinter(const QString& folder, const QSizeF& printableMm)
    : m_folder(folder), m_printableMm(printableMm)
{
}

std::unique_ptr<QPrinter> PdfLabelPrinter::openPrinter()
{
    if (!QDir().mkpath(m_folder))
        return nullptr;
    auto printer = std::make_unique<QPrinter>(QPrinter::ScreenResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    printer->setPageSize(QPageSize(m_printableMm, QPageSize::Millimeter, QString(), QPageSize::ExactMatch));
    return printer;
}

bool PdfLabelPrinter::beginJob(QPrinter& printer)
{
    // The name is taken by creating the file, so no job (of this process or
    // another) ever writes over an earlier one.
    for (int n = 1; n < 100000; ++n) {
        const QString path =
            QDir(m_folder).filePath(QStringLiteral("label-%1.pdf").arg(n, 3, 10, QLatin1Char('0')));
        QFile reserved(path);
        if (!reserved.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            continue;
        reserved.close();
        printer.setOutputFileName(path);
        m_files.append(path);
        return true;
    }
    return false;
}
