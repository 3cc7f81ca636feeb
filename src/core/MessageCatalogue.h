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
    // Bench work: unsaved buffers, the seated chip, lost programmers, bench tools.
    DiscardUnsavedForChip,
    DiscardUnsavedOnClose,
    NoChipInSocket,
    ChipIdMismatch,
    DisconnectedDuringRead,
    DisconnectedDuringErase,
    DisconnectedDuringWrite,
    DisconnectedDuringVerify,
    DisconnectedDuringBlankCheck,
    DisconnectedDuringAuto,
    MenuTools,
    GoToAddressItem,
    FindItem,
    FindNextItem,
    FindPreviousItem,
    ChecksumsItem,
    CompareItem,
    DetectItem,
    SaveAsItem,
    RecentFilesMenu,
    CopyHexItem,
    CopyCArrayItem,
    SaveSelectionItem,
    CopyTooLarge,
    GoToTitle,
    AddressLabel,
    AddressOutside,
    NotHexAddress,
    FindTitle,
    FindHexOption,
    FindTextOption,
    NotFound,
    BadHexPattern,
    ReadoutText,
    ChecksumsTitle,
    OverBuffer,
    OverDataLength,
    OverRange,
    OverSelection,
    CalculateButton,
    CalculatingProgress,
    ChecksumSpan,
    CancelButton,
    CompareTitle,
    CompareStart,
    CompareEnd,
    CompareBytes,
    CompareSummary,
    CompareEqual,
    CompareListCut,
    TimeLeft,
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
