#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "chips/ChipCatalogue.h"
#include "chips/ChipRow.h"

class OperationHost;

// The chip editor's edit controls as the model reads and sets them: texts of
// the editable ones, positions (-1 = no selection) of the drop-down lists.
struct ChipEditorControls {
    std::string type;          // ComboBox1
    std::string manufacturer;  // ComboBox2
    std::string name;          // ComboBox3
    std::string delay = "100";  // Edit1
    int32_t classPosition = -1;       // ComboBox4
    int32_t flashPosition = 0;        // ComboBox5: 64 << p bytes
    int32_t flashPagePosition = 0;    // ComboBox6: 1 << p bytes
    int32_t voltagePosition = 0;      // ComboBox7
    int32_t algorithmPosition = -1;   // ComboBox8
    std::string chipId = "0";         // ComboBox9
    int32_t eepromPosition = 1;       // ComboBox10: 0, else 1 << p bytes
    int32_t eepromPagePosition = 2;   // ComboBox11: 1 << p bytes
    std::string extend = "0";         // ComboBox12
};

// The chip editor without its widgets: the grid's data rows, the selected
// row, the name lists, and the conversions between rows and controls.
class ChipEditorModel {
public:
    // The fixed choices of the drop-down lists.
    static const std::vector<std::string>& classTexts();
    static const std::vector<std::string>& flashTexts();
    static const std::vector<std::string>& pageTexts();  // FLASH page and EEPROM page
    static const std::vector<std::string>& voltageTexts();
    static const std::vector<std::string>& eepromTexts();
    static const std::vector<std::string>& extendTexts();
    // The Algorithm list as first shown, before any class was chosen.
    static const std::vector<std::string>& initialAlgorithmTexts();
    // The Algorithm list for a Class position; empty for no class.
    static std::vector<std::string> algorithmTexts(int32_t classPosition);

    // The number of times `value` can be halved while it is above 1.
    static int32_t log2(int32_t value);

    // Data rows; grid row r (r >= 1) is rows[r - 1]. Row 0 is the heading.
    std::vector<ChipRow> rows;
    // The grid row last selected (0 = none yet).
    int32_t selectedRow = 0;
    // Distinct types, non-empty manufacturers and names, in table order.
    std::vector<std::string> typeChoices;
    std::vector<std::string> manufacturerChoices;
    std::vector<std::string> nameChoices;

    // Reads the database file again (a damaged one is reported in Simplified
    // Chinese whatever the language, another refusal in `language`, and the
    // table is kept), then fills the rows and the name lists from the table.
    void reload(ChipCatalogue& catalogue, OperationHost& host, const std::string& path, int language);
    void fill(const ChipCatalogue& catalogue);

    // Writes the controls into a row. Without a usable Algorithm selection for
    // class 0 or 4 the row's algorithm cell keeps its text.
    static void fillRow(ChipRow& row, const ChipEditorControls& controls);
    void add(const ChipEditorControls& controls);
    void edit(const ChipEditorControls& controls);
    void remove(int32_t gridRow);

    // Copies the selected data row into the controls. A cell that is not an
    // integer leaves the controls unchanged and returns the conversion message.
    std::string copySelectedRow(ChipEditorControls& controls) const;

    // Checks every row, asks before breaking the order the Type list relies
    // on, then puts the rows into the table, ends them with a terminator and
    // writes the file. Refusals leave table and file as they were; only a failed
    // file write leaves the new content in the table. Messages are in
    // `language`. Returns true when written.
    bool save(ChipCatalogue& catalogue, OperationHost& host, const std::string& path, int language) const;
};
