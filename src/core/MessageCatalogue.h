#pragma once

#include <array>
#include <initializer_list>
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
    // Refusals of the chip editor, the chip database file, Open and Fill.
    EditorTooManyRows,
    EditorRowRefused,
    CellNotInteger,
    CellOutOfRange,
    NameWithSeparator,
    NameOutsideCodePage,
    TitleTooLong,
    ClassOutOfTypeOrder,
    TypeSpeltOtherwise,
    SaveDespiteClassOrder,
    DatabaseCannotOpen,
    DatabaseTooLong,
    OpenStartOutsideBuffer,
    FillEndBelowStart,
    FillRangeOutsideBuffer,
    Count
};

enum LanguageIndex { SimplifiedChinese = 0, TraditionalChinese = 1, English = 2 };

class MessageCatalogue {
public:
    // The text of `id` in `language`; a language outside 0..2 reads as 0.
    static const std::string& text(Msg id, int language);

    // The text of `id` with %1, %2, ... replaced by `arguments` in turn.
    static std::string format(Msg id, int language, std::initializer_list<std::string> arguments);

    // A stored language outside 0..2 is taken as Simplified Chinese.
    static int normalisedLanguage(int language);
};
