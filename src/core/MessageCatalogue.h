#pragma once

#include <array>
#include <string>

// Every text composed at run time, in Simplified Chinese, Traditional Chinese
// and English (LanguageIndex 0, 1, 2). Plain data, shared by the window and the
// command line; looked up at the moment of use, never cached per language.
enum class Msg {
    ConfigDestroyed,
    FileExists,
    FileWriteError,
    ProgrammerFound,
    Connected,
    NotConnected,
    Erasing,
    Reading,
    BlankChecking,
    NotBlank,
    Verifying,
    VerifyErrorAt,
    Writing,
    FileTooLong,
    Open,
    ReadDone,
    EraseDone,
    WriteDone,
    VerifyDone,
    AutoDone,
    BlankDone,
    Stop,
    Bulk,
    UnknownChipId,
    ChooseType,
    NoChip,
    ChipDetected,
    ChipTypeLine,
    ChipTypeDetected,
    SelectTypeLine,
    ReadFailedAt,
    BlankCheckFailedAt,
    EraseFailedAt,
    WriteFailedAt,
    VerifyFailedAt,
    EraseTimedOut,
    CommunicationFailed,
    RangeOutsideChip,
    ChipOutsideBuffer,
    PageSizeUnsupported,
    FirmwareFileEmpty,
    BootLoaderNotFound,
    UpgradePageSizeZero,
    UpgradeTransferFailed,
    UpgradeDone,
    // Production station: jobs, serial numbers, the log and the production view.
    JobChipMissing,
    JobChipChanged,
    JobImageMissing,
    JobImageChanged,
    JobChipNotSelectable,
    JobRangeOutsideChip,
    JobImageTooLong,
    JobSerialOutsideSpan,
    JobChecksumMismatch,
    JobFileUnusable,
    SerialOverflow,
    LogWriteFailed,
    ProductionMenu,
    SaveJobMenu,
    OpenJobMenu,
    CloseJobMenu,
    ExportLogMenu,
    ProductionViewMenu,
    ProductionViewTitle,
    JobLockedTitle,
    JobOpenTitle,
    NoJob,
    JobLabel,
    JobLockedState,
    JobUnlockedState,
    PassedLabel,
    FailedLabel,
    TotalLabel,
    YieldLabel,
    CycleLabel,
    ChipsPerHourLabel,
    TimeLeftLabel,
    TargetLabel,
    NextSerialLabel,
    NoSerial,
    PassIndication,
    FailIndication,
    ReadyIndication,
    StartButton,
    StopButton,
    ResetCountersButton,
    ResetCountersQuestion,
    PostgresLabel,
    PostgresPending,
    LogColumns,
    JobFileFilter,
    CsvFileFilter,
    JobSaved,
    LogExported,
    NoImageLoaded,
    Count
};

enum LanguageIndex { SimplifiedChinese = 0, TraditionalChinese = 1, English = 2 };

class MessageCatalogue {
public:
    // The text of `id` in `language`; a language outside 0..2 reads as 0.
    static const std::string& text(Msg id, int language);

    // A stored language outside 0..2 is taken as Simplified Chinese.
    static int normalisedLanguage(int language);
};
