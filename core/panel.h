#pragma once

#include <string_view>

namespace morvane {

enum class Alignment { Left, Centre };

// The message panel Form3: twenty text lines Label1(1..20), the extra label Label2 and the button Command1
// "Ok". Long commands write their progress here; the Qt side is the Form3 window.
class Panel {
public:
    static constexpr int kLines = 20;

    virtual ~Panel() = default;

    virtual void setLine(int index, std::string_view text) = 0;  // Label1(index).Caption, index 1..20
    virtual void setAlignment(int index, Alignment alignment) = 0;
    virtual void setOkVisible(bool visible) = 0;               // Command1
    virtual void setLabel2(bool visible, int heightTwips) = 0;  // shown only with the quick instructions
    virtual void show() = 0;
    virtual void hide() = 0;
    virtual void repaint() = 0;  // makes the lines written so far visible at once
    // Shows Command1 and waits, letting window events run, until it is clicked or the panel is closed from
    // its frame.
    virtual void waitForOk() = 0;

    // Blanks lines first..last.
    void blank(int first, int last)
    {
        for (int i = first; i <= last; ++i) {
            setLine(i, {});
        }
    }
    // Blanks lines first..last and centres them.
    void blankCentred(int first, int last)
    {
        for (int i = first; i <= last; ++i) {
            setLine(i, {});
            setAlignment(i, Alignment::Centre);
        }
    }
    // Centres a line, writes it and repaints: one progress step.
    void progress(int index, std::string_view text)
    {
        setAlignment(index, Alignment::Centre);
        setLine(index, text);
        repaint();
    }
};

}  // namespace morvane
