#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QtGlobal>
#include <optional>
#include <vector>

namespace tramelle {

// The patient and stored-program rows behind the patient windows. Widget-free so that
// the benchmark and tests reach them directly. Every routine throws DbError.

// One row of the patient list.
struct PatientRow
{
    qint32 PatientID = 0;
    QString FullName;
    QString ID;
};

// One row of the stored-program list. Date is the stored text as read ("" for null).
struct ProgramRow
{
    qint32 InvoiceID = 0;
    QString FullName;
    QString ID;
    QString Date;
};

// The editable columns of one Patient row.
struct PatientRecord
{
    QString LastName;
    QString FirstName;
    QString ID;
};

// "Last, First" with the blanks around the whole removed: ", First" without a last
// name, "Last," without a first name, "," without either.
QString FullName(const QString& lastName, const QString& firstName);

// The key of a list row, "k" followed by the id, and back.
QString RowKey(qint32 id);
qint32 IdFromKey(const QString& key);

std::vector<PatientRow> ReadPatientRows(const QSqlDatabase& db);
// The stored programs of one patient, or of every patient without one, the latest
// stored first; programs whose patient row is gone are not listed.
std::vector<ProgramRow> ReadProgramRows(const QSqlDatabase& db, std::optional<qint32> patientID);

// Reads one patient's editable columns; nothing when the row does not exist.
std::optional<PatientRecord> ReadPatient(const QSqlDatabase& db, qint32 patientID);
// Stores a new patient with its FullName and returns the new PatientID.
qint32 InsertPatient(const QSqlDatabase& db, const PatientRecord& patient);
// Rewrites an existing patient with its FullName; throws when the row is gone.
void UpdatePatient(const QSqlDatabase& db, qint32 patientID, const PatientRecord& patient);
// Deletes a patient; the schema's cascades remove its stored programs with their rows.
void DeletePatient(const QSqlDatabase& db, qint32 patientID);
// Deletes a stored program with its exercise and order rows (cascades).
void DeleteProgram(const QSqlDatabase& db, qint32 invoiceID);

} // namespace tramelle
