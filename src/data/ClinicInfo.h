#pragma once

#include <QDateTime>
#include <QString>

namespace tramelle {

// The clinic's own record (the one Clinic row): the title of printed pages and the
// defaults of a new program's order. Addresses hold CR LF between lines.
struct ClinicInfo
{
    QString Name;
    QString Phone;
    QString ShipAddr;
    QString ShipMethod;
    QString BillAddr;
    QString PayMethod;
    QString CardNum;
    QDateTime CardDate; // null when the clinic has no card date
    QString NameOnCard;

    bool operator==(const ClinicInfo&) const = default;
};

} // namespace tramelle
