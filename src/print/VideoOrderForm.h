#pragma once

#include "Outcome.h"

#include "Currency.h"

#include <QString>
#include <QtGlobal>

namespace tramelle {

class AppContext;
class OutputSurface;
class PageComposer;
struct ProgramState;

// The money figures of the printed order form. The form keeps its own shipping charges
// (4, 8 and 14), whatever the order items dialog shows.
struct OrderTotals
{
    Currency SubTotal;
    Currency Shipping;
    Currency Tax;
    Currency Total;
};

// Sub-total of quantity x price over the order lines, 5% tax when the order has the tax
// flag, the shipping charge of the method (0 for an unknown one), and their sum. A
// figure too large for the money type is reported ("Overflow: ..."), never wrapped.
Result<OrderTotals> ComputeOrderTotals(const ProgramState& program);

// The three order lines' descriptions, each followed by CR LF.
QString OrderItemDescriptions(const ProgramState& program);

// The three order lines' amounts, each followed by CR LF: "  2  x $19.95 = $39.90", or
// "___x $19.95 = $_____" for a line without a quantity, to be filled in by hand. Fails
// as ComputeOrderTotals does.
Result<QString> OrderItemAmounts(const ProgramState& program);

// The checksum the vendor checks the tape against: the sum of the leading numbers of
// the codes of the exercises that have a video; "Overflow: ..." when it does not fit
// 32 bits.
Result<qint32> VideoChecksum(const ProgramState& program);

// The three shipping methods with check boxes and the form's charges, one row each,
// from x at the current Y; the method of the order is ticked.
void PrintShippingChoices(PageComposer& c, qint16 x);

// The one-page form the clinic faxes to the vendor to order a video tape of the
// program: addresses, the exercises that have a video, payment and the order lines.
// A missing value leaves an underlined blank to fill in by hand. When an amount or the
// checksum is out of range nothing is drawn and the reason comes back.
Outcome PrintVideoOrderForm(AppContext& ctx, OutputSurface& surface);

} // namespace tramelle
