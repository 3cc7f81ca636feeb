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
        // Safety: block loops, interrupted file reads, errors nothing else caught
        {"芯片容量 %1 不是 %2 字节页的整数倍，无法逐页擦除。", "芯片容量 %1 不是 %2 字節頁的整數倍，無法逐頁擦除。",
         "The chip size %1 is not a whole number of %2-byte pages, so it cannot be erased page by page."},
        {"读取文件 %1 时出错，缓冲区保持不变。", "讀取文件 %1 時出錯，緩衝區保持不變。",
         "Read error in file %1; the buffer was left as it was."},
        {"意外错误，程序将结束：%1", "意外錯誤，程序將結束：%1", "An unexpected error ended the program: %1"},
        {"内存不足，程序将结束。", "記憶體不足，程序將結束。", "The program ran out of memory and must end."},
        // Update and write protection
        {"芯片已写保护（状态寄存器 %1）。请先执行“操作 > 解除保护”。",
         "芯片已寫保護（狀態寄存器 %1）。請先執行「操作 > 解除保護」。",
         "The chip is write-protected (status register %1). Use Operation > Remove protection first."},
        {"更新：读取芯片 ...", "更新：讀取芯片 ...", "Update: reading the chip ..."},
        {"更新：擦除有变化的扇区 ...", "更新：擦除有變化的扇區 ...", "Update: erasing changed sectors ..."},
        {"更新：编程有变化的页 ...", "更新：編程有變化的頁 ...", "Update: programming changed pages ..."},
        {"更新：校验 ...", "更新：校驗 ...", "Update: verifying ..."},
        {"更新完成！扇区：跳过 %1，编程 %2，擦除 %3。", "更新完成！扇區：跳過 %1，編程 %2，擦除 %3。",
         "Update Complete! Sectors: %1 skipped, %2 programmed, %3 erased."},
        {"更新完成！页：跳过 %1，写入 %2。", "更新完成！頁：跳過 %1，寫入 %2。",
         "Update Complete! Pages: %1 skipped, %2 written."},
        {"此芯片不能更新，请使用自动。", "此芯片不能更新，請使用自動。",
         "This chip cannot be updated; use AUTO."},
        {"正在解除写保护 ...", "正在解除寫保護 ...", "Removing write protection ..."},
        {"写保护已解除！", "寫保護已解除！", "Protection removed!"},
        {"写保护未能解除（状态寄存器 %1），可能是芯片的 WP 引脚锁定了它。",
         "寫保護未能解除（狀態寄存器 %1），可能是芯片的 WP 引腳鎖定了它。",
         "The write protection could not be removed (status register %1); the chip's WP pin may hold it."},
        {"只有 25 系列闪存可以解除写保护；24 系列 EEPROM 由其 WP 引脚保护。",
         "只有 25 系列閃存可以解除寫保護；24 系列 EEPROM 由其 WP 引腳保護。",
         "Only a 25-series flash can have its protection removed; a 24-series EEPROM is protected by its WP pin."},
        {"更新(&U)", "更新(&U)", "Update(&U)"},
        {"解除保护(&P)", "解除保護(&P)", "Remove protection(&P)"},
        {"更新后校验整个范围", "更新後校驗整個範圍", "Verify the whole span after Update"},
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
