#pragma once

#include <cstdint>
#include <string>

// The two socket pictures chip detection shows: the empty socket, and an
// 8-pin chip seated at the top end.
enum class SocketPicture { Empty, ChipSeated };

enum class Msg;

// Everything the core needs from whoever shows it to the user: the main window,
// the command line, or a test recorder. Texts are UTF-8 and already in the
// current language. Every wait of the core goes through sleepMs, so a test host
// can run a whole operation instantly and still see each wait.
class OperationHost {
public:
    virtual ~OperationHost() = default;

    // Status bar panel 1 ("Connected", "Read Flash ...") and panel 3 (elapsed time).
    virtual void setStateText(const std::string& text) = 0;
    // The same, with the catalogue key the text was made from, for a host that
    // acts on what the state means: the text is the user's language and may
    // be anything a translator wrote.
    virtual void setState([[maybe_unused]] Msg state, const std::string& text) { setStateText(text); }
    virtual void setElapsedText(const std::string& text) = 0;

    // Both progress bars move together.
    virtual void showProgress(uint32_t maximum) = 0;
    virtual void setProgress(uint32_t position) = 0;
    virtual void hideProgress() = 0;   // position 0, hidden
    // A step bounded by time rather than by work (a polled erase), counted in
    // ticks of `tickMs`. No rate predicts when the chip finishes, so a host that
    // tells the time left tells what remains of the allowance instead.
    virtual void showAllowance(uint32_t ticks, [[maybe_unused]] uint32_t tickMs) { showProgress(ticks); }

    // Lets the window repaint and handle clicks during a long loop.
    virtual void pumpEvents() = 0;

    virtual void errorBox(const std::string& text) = 0;        // caption "Error", stop icon
    virtual void informationBox(const std::string& text) = 0;  // caption "Information"
    // The text and OK alone: no icon, no caption of its own. A host without
    // such a box tells it as it tells information.
    virtual void messageBox(const std::string& text) { informationBox(text); }
    virtual bool question(const std::string& text) = 0;        // caption "Info", Yes = true

    // The log pane holds completion lines, newest first.
    virtual void insertLogLine(const std::string& line) = 0;
    virtual std::string firstLogLine() const = 0;
    // The likely cause of the failure errorBox has just shown (a serial
    // flash's block protection), kept in the log beside it. Finding it costs
    // the chip a status poll after the failure, so only a host that keeps a
    // record or a transcript of each failure asks for it: the window's own
    // flow ends with the failure's box.
    virtual bool wantsFailureCause() const { return false; }
    virtual void failureCause(const std::string& text) { insertLogLine(text + " (" + longTimeText() + ")"); }
    // The first address where a verify found the chip differ from the image,
    // told before the failure's box: a host that reports figures keeps it.
    virtual void verifyMismatch([[maybe_unused]] uint32_t address) {}

    virtual void beep() = 0;
    virtual void sleepMs(uint32_t milliseconds) = 0;
    // Local time of day in the system's long time format, for completion lines.
    virtual std::string longTimeText() const = 0;
    // Milliseconds since some fixed point; only differences are used.
    virtual int64_t nowMs() const = 0;

    // The model changed under the window: a chip was selected, or a buffer was
    // refilled and its view must show `count` bytes of it. A host without
    // lists, views or pictures has nothing to refresh.
    virtual void chipSelectionChanged() {}
    virtual void flashBufferChanged([[maybe_unused]] uint32_t count) {}
    virtual void eepromBufferChanged([[maybe_unused]] uint32_t count) {}

    virtual void showSocketPicture([[maybe_unused]] SocketPicture picture) {}

    // The FLASH view's own copy, taken over before Write and Auto. A host
    // without a FLASH view has no edits to hand over.
    virtual bool flashViewModified() const { return false; }
    virtual uint32_t flashViewByteCount() const { return 0; }
    virtual void copyFlashViewOut([[maybe_unused]] uint8_t* destination, [[maybe_unused]] uint32_t count) const {}
    virtual void clearFlashViewModified() {}
};
