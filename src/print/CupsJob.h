#pragma once

#include "Outcome.h"

#include <QByteArray>
#include <QList>
#include <QPrinter>
#include <QString>
#include <QTemporaryDir>
#include <utility>

namespace tramelle {

// A job for a system printer. The pages are drawn into a PDF file, which is then handed
// to the print server with the choices made in the printer dialog. Unlike the printer
// engine's own hand-over, the server's answer is kept: a queue that refuses the job, or
// a server that cannot be reached, is reported instead of passing for printed.
class CupsJob
{
public:
    // Takes the destination and the choices of the chosen printer.
    explicit CupsJob(const QPrinter& chosen);
    ~CupsJob();
    CupsJob(const CupsJob&) = delete;
    CupsJob& operator=(const CupsJob&) = delete;

    // The printer to draw on: a PDF file in a private folder.
    QPrinter& Printer() { return m_pdf; }
    const QString& Destination() const { return m_destination; }
    // Name and value of each job option sent with the file.
    const QList<std::pair<QByteArray, QByteArray>>& Options() const { return m_options; }

    // Sends the finished file, or another PDF file when one is given; returns the job's
    // number, or the server's reason when the job is not taken.
    Result<int> Submit(const QString& title, const QString& file = QString());

private:
    QTemporaryDir m_folder;
    QPrinter m_pdf;
    QString m_destination; // queue name, without an instance
    QString m_instance;
    QList<std::pair<QByteArray, QByteArray>> m_options;
};

} // namespace tramelle
