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
        // Record file readers
        {"第 %1 行超过 %2 个字符，文件没有读完。", "第 %1 行超過 %2 個字符，文件沒有讀完。",
         "Line %1 is longer than %2 characters; the file was not read to its end."},
    }};
    return entries;
}

}  // namespace

int MessageCatalogue::normalisedLanguage(int language)
{
    return language >= SimplifiedChinese && language <= English ? language : SimplifiedChinese;
}

const std::string& MessageCatalogue::text(Msg id, int language)
{
    return catalogue()[static_cast<size_t>(id)][static_cast<size_t>(normalisedLanguage(language))];
}
