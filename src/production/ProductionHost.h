#pragma once

#include <string>

#include "core/ForwardingHost.h"

// The host a production run hands to the operation routines: everything goes
// on to the front end's host, but the failure text of each chip is kept for
// its log record, and error boxes can be held back when the production view
// shows them instead (a modal box per bad chip would stall the line). The
// FLASH view's edits are never taken over: a job programs its image only.
class ProductionHost : public ForwardingHost {
public:
    ProductionHost(OperationHost& inner, bool showErrorBoxes)
        : ForwardingHost(inner), showErrorBoxes_(showErrorBoxes)
    {
    }

    // The first error of the chip under way, and the question it was refused
    // by (answered No); both cleared for the next chip.
    const std::string& chipError() const { return chipError_; }
    const std::string& declinedQuestion() const { return declinedQuestion_; }
    void clearChipError()
    {
        chipError_.clear();
        declinedQuestion_.clear();
    }

    void errorBox(const std::string& text) override
    {
        if (chipError_.empty())
            chipError_ = text;
        if (showErrorBoxes_)
            ForwardingHost::errorBox(text);
    }
    bool question(const std::string& text) override
    {
        const bool yes = ForwardingHost::question(text);
        if (!yes && declinedQuestion_.empty())
            declinedQuestion_ = text;
        return yes;
    }
    // A cause belongs to the chip's record too, after the failure it explains.
    bool wantsFailureCause() const override { return true; }
    void failureCause(const std::string& text) override
    {
        chipError_ += (chipError_.empty() ? "" : " ") + text;
        ForwardingHost::failureCause(text);
    }

private:
    bool showErrorBoxes_;
    std::string chipError_;
    std::string declinedQuestion_;
};
