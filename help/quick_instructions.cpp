#include "help/quick_instructions.h"

#include <array>
#include <string_view>

namespace morvane {

namespace {

struct InstructionLine {
    int index;
    std::string_view text;
};

// The texts are the program's own and are shown as they stand, the doubled "to" of line 10 included. The
// "&" marks the access key of the button each line names.
constexpr std::array<InstructionLine, 15> kInstructionLines{{
    {3, "1) Before installing a new program, run Morvane and select"},
    {4, "    option 2, Create &BEFORE file."},
    {5, "2) Minimize QRV to an icon (this step is not absolutely necessary)."},
    {6, "3) Install your new program and give your new program a quick run in case"},
    {7, "    it installs files the first time it runs."},
    {8, "4) Restore QRV (if you minimized it) and select the Create &AFTER file option."},
    {9, "5) If you want to experiment more with your new program, exit QRV and do so."},
    {10, "6) If you decide you want to to delete a program, run QRV and select the"},
    {11, "    &Delete Program option. Select the name of the program you wish to delete"},
    {12, "    from the menu, or select CANCEL to abort the deletion process."},
    {13, "7) If you decide you want to keep the new program, run QRV and select the"},
    {14, "    D&elete AFTER file option and select the name of the program you wish to"},
    {15, "    keep from the menu."},
    {18, "Note: These quick instructions are for your convenience only. It is STRONGLY"},
    {19, "recommended that you read the full instruction manual available under &Help."},
}};

constexpr int kLabel2HeightTwips = 400;
constexpr int kLastInstructionLine = 19;

}  // namespace

void ShowQuickInstructions(const Context& ctx)
{
    Panel& panel = ctx.panel;

    panel.setLine(1, "Quick Instructions");
    panel.setLabel2(true, kLabel2HeightTwips);
    for (int i = 3; i <= 16; ++i) {
        panel.setAlignment(i, Alignment::Left);
    }
    // The empty lines of the display are written too, so nothing a command left behind shows between them.
    for (int i : {2, 16, 17}) {
        panel.setLine(i, {});
    }
    for (const InstructionLine& line : kInstructionLines) {
        panel.setLine(line.index, line.text);
    }

    panel.show();
    ctx.main.setMainEnabled(false);
    panel.waitForOk();
    ctx.main.setMainEnabled(true);
    panel.setLabel2(false, kLabel2HeightTwips);

    panel.blankCentred(1, kLastInstructionLine);
    panel.hide();
}

}  // namespace morvane
