#include "core/MessageCatalogue.h"

namespace {

using Texts = std::array<std::string, 3>;  // Simplified, Traditional, English

const std::array<Texts, static_cast<size_t>(Msg::Count)>& catalogue()
{
    static const std::array<Texts, static_cast<size_t>(Msg::Count)> entries = {{
        {"配置文件被破坏！", "配置文件被破壞！", "The configuration file was destroyed."},
        {"文件已存在,是否覆盖?", "文件已存在,是否覆蓋?", "File already exists. Is it covered? "},
        {"写入文件出错。", "寫入文件出錯。", "Error writing file."},
        {"检测到编程器 BelcorU2，工作状态正常。", "檢測到編程器 BelcorU2，工作狀態正常。",
         "The programmer BelcorU2 is detected, and the working state is normal."},
        {"已连接", "已連接", "Connected"},
        {"编程器未接入", "編程器未接入", "Not connected"},
        {"擦除 Flash ...", "擦除 Flash ...", "Erase Flash ..."},
        {"读出 Flash ...", "讀出 Flash ...", "Read Flash ..."},
        {"查空 Flash ...", "查空 Flash ...", "Bank Flash ..."},
        {"芯片没有擦空", "芯片沒有擦空", "The chip is not empty."},
        {"校验 Flash ...", "校驗 Flash ...", "Verify Flash ..."},
        {"Flash 校验错误地址: ", "Flash 校驗錯誤地址: ", "Flash check error address:"},
        {"编程 Flash ...", "編程 Flash ... ", "Write Flash ..."},
        {"文件长度大于芯片容量,是否继续调入文件", "文件長度大於芯片容量,是否繼續調入文件",
         "File length is larger than chip capacity. Do you want to continue to transfer files?"},
        {"打开", "打開", "Open"},
        {"读出完成！", "讀出完成！", "Read Complete!"},
        {"擦除完成！", "擦除完成！", "Erase Complete!"},
        {"写入完成！", "寫入完成！", "Write Complete!"},
        {"校验完成！", "校驗完成！", "Verify Complete!"},
        {"自动编程校验通过！", "自動編程校驗通過！", "AUTO Complete!"},
        {"查空完成！", "查空完成！", "Bank Complete!"},
        {"停止", "停止", "STOP"},
        {"批量", "批量", "BULK"},
        {"未知型号芯片ID =", "未知型號芯片ID =", "Unknown chip ID ="},
        {"请手动选择兼容型号。", "請手動選擇兼容型號。", "Please choose the compatibility type manually."},
        {"没有检测到芯片，请放置芯片再试！", "沒有檢測到芯片，請放置芯片再試！",
         "No chips detected, please put the chip to try again!"},
        {"检测到芯片：", "檢測到芯片：", "The chip was detected:"},
        {"\n\n芯片类型 ：", "\n\n芯片類型 ：", "\n\n Chip type"},
        {"检测到芯片芯片类型: ", "檢測到芯片芯片類型: ", "Chip type is detected:"},
        {"\n\n请手动选择对应型号烧写。", "\n\n請手動選擇對應型號燒寫。",
         "\n\n Please manually select the corresponding type burn."},
        {"读出失败，地址：%1。", "讀出失敗，地址：%1。", "Read failed at address %1."},
        {"查空失败，地址：%1。", "查空失敗，地址：%1。", "Blank check failed at address %1."},
        {"擦除失败，地址：%1。", "擦除失敗，地址：%1。", "Erase failed at address %1."},
        {"编程失败，地址：%1。", "編程失敗，地址：%1。", "Write failed at address %1."},
        {"校验失败，地址：%1。", "校驗失敗，地址：%1。", "Verify failed at address %1."},
        {"擦除超时，芯片仍在忙。", "擦除超時，芯片仍在忙。", "The erase did not finish in time; the chip is still busy."},
        {"与编程器通信失败，请重试。", "與編程器通信失敗，請重試。",
         "Communication with the programmer failed. Please try again."},
        {"地址范围超出芯片容量。", "地址範圍超出芯片容量。", "The address range reaches outside the chip."},
        {"芯片容量超过 64 MiB 缓冲区。", "芯片容量超過 64 MiB 緩衝區。", "The chip is larger than the 64 MiB buffer."},
        {"不支持芯片页大小 %1。", "不支持芯片頁大小 %1。", "The chip's page size %1 is not supported."},
        {"固件文件为空，固件没有升级。", "固件文件為空，固件沒有升級。",
         "The firmware file is empty; the firmware was not upgraded."},
        {"没有找到编程器的升级引导程序，固件没有升级。", "沒有找到編程器的升級引導程序，固件沒有升級。",
         "The programmer's boot loader did not appear; the firmware was not upgraded."},
        {"升级引导程序报告的页大小为 0，升级已停止，没有发送固件数据。",
         "升級引導程序報告的頁大小為 0，升級已停止，沒有發送固件數據。",
         "The boot loader reported a page size of 0; the upgrade was stopped before any firmware data was sent."},
        {"与升级引导程序通信失败，固件升级没有完成。请重新插入编程器后再次升级。",
         "與升級引導程序通信失敗，固件升級沒有完成。請重新插入編程器後再次升級。",
         "Communication with the boot loader failed; the firmware upgrade is not complete. "
         "Plug the programmer in again and repeat the upgrade."},
        {"固件升级完成！", "固件升級完成！", "Firmware upgrade complete!"},
        // Refusals of the chip editor, the chip database file, Open and Fill.
        {"芯片数据库最多容纳 %1 个芯片，表格中有 %2 行。没有保存。",
         "芯片數據庫最多容納 %1 個芯片，表格中有 %2 行。沒有保存。",
         "The chip database holds at most %1 chips; the grid has %2 rows. Nothing was saved."},
        {"第 %1 行：%2 没有保存。", "第 %1 行：%2 沒有保存。", "Row %1: %2 Nothing was saved."},
        {"“%1”列：%2。", "「%1」列：%2。", "Column \"%1\": %2."},
        {"“%1”列：数值必须在 %2 到 %3 之间。", "「%1」列：數值必須在 %2 到 %3 之間。",
         "Column \"%1\": the value must be between %2 and %3."},
        {"“%1”列：“%2”不能包含空格、逗号或双引号。", "「%1」列：「%2」不能包含空格、逗號或雙引號。",
         "Column \"%1\": \"%2\" must not contain blanks, commas or double quotes."},
        {"“%1”列：“%2”含有代码页 936 无法表示的字符。", "「%1」列：「%2」含有代碼頁 936 無法表示的字符。",
         "Column \"%1\": \"%2\" has characters that code page 936 cannot hold."},
        {"标题“%1”占 %2 字节；芯片类型、厂家和型号合计最多 47 字节。",
         "標題「%1」佔 %2 字節；芯片類型、廠家和型號合計最多 47 字節。",
         "The title \"%1\" takes %2 bytes; type, manufacturer and name together may take at most 47."},
        {"第 %1 条记录（%2）的类型为 %3，但其芯片类型“%4”位于芯片类型列表的第 %5 位。",
         "第 %1 條記錄（%2）的類型為 %3，但其芯片類型「%4」位於芯片類型列表的第 %5 位。",
         "Record %1 (%2) has class %3, but its type \"%4\" stands at position %5 of the Type list."},
        {"第 %1 条记录（%2）的芯片类型写作“%3”，与前面的“%4”不同。",
         "第 %1 條記錄（%2）的芯片類型寫作「%3」，與前面的「%4」不同。",
         "Record %1 (%2) spells its type \"%3\" unlike \"%4\" before it."},
        {"%1 主窗口把芯片类型在芯片类型列表中的位置当作它的类型。仍然保存吗？",
         "%1 主窗口把芯片類型在芯片類型列表中的位置當作它的類型。仍然保存嗎？",
         "%1 The main window takes a type's place in the Type list for its class. Save anyway?"},
        {"无法打开文件 %1", "無法打開文件 %1", "Cannot open file %1"},
        {"芯片数据库 %1 超过 1000 条记录，没有载入。", "芯片數據庫 %1 超過 1000 條記錄，沒有載入。",
         "The chip database %1 holds more than 1000 records and was not loaded."},
        {"开始地址 %1 超出缓冲区（0 到 %2）。", "開始地址 %1 超出緩衝區（0 到 %2）。",
         "The start address %1 lies outside the buffer (0 to %2)."},
        {"结束地址 %1 小于开始地址 %2。", "結束地址 %1 小於開始地址 %2。",
         "The end address %1 lies below the start address %2."},
        {"范围 %1 到 %2 不在缓冲区内（0 到 %3）。", "範圍 %1 到 %2 不在緩衝區內（0 到 %3）。",
         "The range %1 to %2 does not lie inside the buffer (0 to %3)."},
    }};
    return entries;
}

}  // namespace

int MessageCatalogue::normalisedLanguage(int language)
{
    return language >= SimplifiedChinese && language <= English ? language : SimplifiedChinese;
}

std::string MessageCatalogue::format(Msg id, int language, std::initializer_list<std::string> arguments)
{
    const std::string& pattern = text(id, language);
    std::string result;
    result.reserve(pattern.size());
    for (size_t i = 0; i < pattern.size(); ++i) {
        const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
        const size_t number = next >= '1' && next <= '9' ? static_cast<size_t>(next - '1') : arguments.size();
        if (pattern[i] == '%' && number < arguments.size()) {
            result += arguments.begin()[number];
            ++i;
        } else {
            result += pattern[i];
        }
    }
    return result;
}

const std::string& MessageCatalogue::text(Msg id, int language)
{
    return catalogue()[static_cast<size_t>(id)][static_cast<size_t>(normalisedLanguage(language))];
}
