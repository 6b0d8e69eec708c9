#pragma once

#include "Currency.h"
#include "LibraryEntry.h"

#include <QDateTime>
#include <QString>
#include <array>
#include <optional>

namespace tramelle {

// One video-tape order line.
struct OrderItem
{
    QString PartNumber;
    QString Description;
    qint16 Qty = 0;
    Currency Price;

    bool operator==(const OrderItem&) const = default;
};

constexpr int MaxProgramEntries = 20;
constexpr int MaxOrderItems = 3;

// The current program: the patient, the stored program it came from, its header,
// up to 20 exercises and up to 3 order lines.
struct ProgramState
{
    std::optional<qint32> PatientID;
    QString PatientName;
    std::optional<qint32> InvoiceID;
    bool SaveAsNew = false;
    bool Modified = false;

    QDateTime Date;
    QString Provider;
    QString Usage;
    QString BillAddr;
    QString PayMethod;
    QString CardNum;
    QDateTime CardDate; // null when there is no card date
    QString NameOnCard;
    qint16 Tax = 0;
    QString ShipAddr;
    QString ShipPhone;
    QString ShipMethod;

    std::array<ProgramEntry, MaxProgramEntries> Entries{};
    qint16 EntryCount = 0;
    std::array<OrderItem, MaxOrderItems> OrderItems{};
    qint16 OrderItemCount = 0;

    bool operator==(const ProgramState&) const = default;
};

} // namespace tramelle
