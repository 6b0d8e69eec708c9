#pragma once

namespace tramelle {

class AppContext;
class OutputSurface;

// Measures of the large-print handouts, in inches and points.
namespace LargePrint {
constexpr double Margin = 0.75;
constexpr double HeadingPoints = 18;
constexpr double InstructionPoints = 16;
} // namespace LargePrint

// The large-print handouts of the current program, for patients who see poorly: portrait,
// one exercise a page with its three pictures as large as the page leaves room for, each
// with its instruction beside it in large type. Every page has the title, the header
// block and the footer of the exercise sheets, all inside margins of 0.75 inch.
void PrintLargePrintHandouts(AppContext& ctx, OutputSurface& surface);

} // namespace tramelle
