#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

// A shared library found by file name at run time, the way the USB and HID
// bindings reach their libraries. Opened handles are never closed: the entry
// points taken from them must stay mapped for the rest of the run.
class RuntimeLibrary {
public:
    // Test seam: entries whose name the filter rejects stay unresolved. An
    // empty filter resolves everything.
    using EntryFilter = std::function<bool(std::string_view name)>;

    explicit RuntimeLibrary(std::string path) : path_(std::move(path)) {}

    // Changing the file drops the handle of the previous one.
    void setPath(std::string path);
    const std::string& path() const { return path_; }
    void setEntryFilter(EntryFilter filter) { filter_ = std::move(filter); }

    // Opens the file (again: the system counts the references). Returns
    // whether it was found; on failure the previous handle is kept.
    bool open();

    // The entry `name` of the opened file; null when nothing is open, the
    // filter rejects the name or the file lacks it.
    void* resolve(const char* name) const;

    template <typename Function>
    void resolve(const char* name, Function*& slot) const
    {
        slot = reinterpret_cast<Function*>(resolve(name));
    }

    // Opens a file outside any binding. Returns null, with `reason` set to the
    // system's explanation, when it cannot be loaded.
    static void* openFile(const std::string& path, std::string& reason);
    static void* findSymbol(void* library, const char* name);

    // Calls `function`, or returns the failure value of a missing entry:
    // `MissingResult` for integers, null for pointers, nothing for void.
    template <int MissingResult, typename Function, typename... Args>
    static auto callOrFail(Function* function, Args&&... args)
    {
        using Result = std::invoke_result_t<Function*, Args...>;
        if (function != nullptr)
            return function(std::forward<Args>(args)...);
        if constexpr (std::is_void_v<Result>)
            return;
        else if constexpr (std::is_pointer_v<Result>)
            return Result{};
        else
            return Result{MissingResult};
    }

private:
    std::string path_;
    EntryFilter filter_;
    void* handle_ = nullptr;
};
