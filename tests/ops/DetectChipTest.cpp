#include <gtest/gtest.h>

#include "ops/SelectChip.h"
#include "OpsFixture.h"

namespace {

// Type positions follow first appearance: SPI_FLASH 0, 24_EEPROM 1, 93_EEPROM 2, 95_EEPROM 3.
class DetectChipTest : public OpsFixture {
protected:
    void SetUp() override
    {
        OpsFixture::SetUp();
        const ChipRecord records[] = {
            chipRecord("SPI_FLASH,GigaDev,GD25Q16", SpiFlash25, 0x200000, 256, 0xC84015),
            chipRecord("SPI_FLASH,Winbond,W25Q128", SpiFlash25, 0x1000000, 256, 0xEF4018),
            chipRecord("SPI_FLASH,Winbond,W25Q128JV", SpiFlash25, 0x1000000, 256, 0xEF4018),
            chipRecord("24_EEPROM,Atmel,AT24C02", I2cEeprom24, 256, 8),
            chipRecord("24_EEPROM,Atmel,AT24C04", I2cEeprom24, 512, 16),
            chipRecord("93_EEPROM,Atmel,AT93C46", MicrowireEeprom93, 128, 16),
            chipRecord("95_EEPROM,ST,M95080", SpiEeprom95, 1024, 32),
        };
        std::copy(std::begin(records), std::end(records), catalogue().ChipDatabase.begin());
        select(3, 0, 0);
        catalogue().INDEX1 = catalogue().INDEX2 = catalogue().INDEX3 = 7;
    }

    void select(int32_t type, int32_t manufacturer, int32_t name)
    {
        SelectChip(workbench, host, type, manufacturer, name);
    }
    ChipCatalogue& catalogue() { return workbench.catalogue; }
    std::vector<int32_t> remembered()
    {
        return {catalogue().INDEX1, catalogue().INDEX2, catalogue().INDEX3};
    }
};

TEST_F(DetectChipTest, KnownSerialFlashIsSelectedAndRemembered)
{
    seatChip({0, 0xEF4018, 0x1000000, 256});

    EXPECT_EQ(DetectChip(workbench, host), DetectionOutcome::SerialFlashFound);

    EXPECT_EQ(catalogue().currentChip, 1);
    EXPECT_EQ(remembered(), (std::vector<int32_t>{0, 1, 0}));
    EXPECT_EQ(host.socketPictures, std::vector<SocketPicture>{SocketPicture::ChipSeated});
    EXPECT_EQ(host.informationBoxes, std::vector<std::string>{"The chip was detected:W25Q128\n\n Chip typeSPI_FLASH"});
    EXPECT_EQ(host.state(), "Connected");
}

TEST_F(DetectChipTest, UnknownIdFallsBackToTheFirstTypeOnce)
{
    seatChip({0, 0xC84017, 0x800000, 256});

    EXPECT_EQ(DetectChip(workbench, host), DetectionOutcome::SerialFlashUnknown);
    EXPECT_EQ(catalogue().typeList.position, 0);
    EXPECT_EQ(catalogue().currentChip, 0);
    EXPECT_EQ(lastError(), "Unknown chip ID =C8 40 17Please choose the compatibility type manually.");
    EXPECT_TRUE(host.socketPictures.empty());

    select(0, 1, 0);
    const int selectionsBefore = host.chipSelectionChanges;
    DetectChip(workbench, host);
    EXPECT_EQ(host.chipSelectionChanges, selectionsBefore);
    EXPECT_EQ(remembered(), (std::vector<int32_t>{7, 7, 7}));
}

struct FamilyCase {
    const char* name;
    uint8_t chipClass;
    int32_t typePosition;
    std::string typeText;
};

class FamilyDetected : public DetectChipTest, public testing::WithParamInterface<FamilyCase> {};

TEST_P(FamilyDetected, SelectsTheFamilysTypeUnlessShown)
{
    seatChip({GetParam().chipClass, 0, 128, 8});

    EXPECT_EQ(DetectChip(workbench, host), DetectionOutcome::FamilyDetected);
    EXPECT_EQ(catalogue().typeList.position, GetParam().typePosition);
    EXPECT_EQ(host.informationBoxes.back(), "Chip type is detected:" + GetParam().typeText +
                                                "\n\n Please manually select the corresponding type burn.");
    EXPECT_EQ(host.socketPictures, std::vector<SocketPicture>{SocketPicture::ChipSeated});

    select(GetParam().typePosition, 0, 1);
    const int32_t chosen = catalogue().currentChip;
    DetectChip(workbench, host);
    EXPECT_EQ(catalogue().currentChip, chosen);
    EXPECT_EQ(remembered(), (std::vector<int32_t>{7, 7, 7}));
}

INSTANTIATE_TEST_SUITE_P(Codes, FamilyDetected,
                         testing::Values(FamilyCase{"I2c", I2cEeprom24, 1, "24_EEPROM"},
                                         FamilyCase{"Microwire", MicrowireEeprom93, 2, "93_EEPROM"}),
                         [](const auto& info) { return info.param.name; });

class FamilyWithoutItsType : public DetectChipTest, public testing::WithParamInterface<FamilyCase> {};

// A database that lacks the family's type position: the selection still runs
// and empties the lists, the chip before stays current, and the picture and
// the box still come.
TEST_P(FamilyWithoutItsType, StillRunsTheSelectionAndTells)
{
    catalogue().ChipDatabase[0] = chipRecord("SPI_FLASH,GigaDev,GD25Q16", SpiFlash25, 0x200000, 256, 0xC84015);
    catalogue().ChipDatabase[1] = ChipRecord{};
    catalogue().typeList = ChoiceList{};
    select(0, 0, 0);
    const int selectionsBefore = host.chipSelectionChanges;
    seatChip({GetParam().chipClass, 0, 128, 8});

    EXPECT_EQ(DetectChip(workbench, host), DetectionOutcome::FamilyDetected);
    EXPECT_EQ(host.chipSelectionChanges, selectionsBefore + 1);
    EXPECT_EQ(catalogue().typeList.position, -1);
    EXPECT_EQ(catalogue().manufacturerList.count(), 0);
    EXPECT_EQ(catalogue().nameList.count(), 0);
    EXPECT_EQ(catalogue().currentChip, 0);
    EXPECT_EQ(host.socketPictures, std::vector<SocketPicture>{SocketPicture::ChipSeated});
    EXPECT_EQ(host.informationBoxes,
              std::vector<std::string>{"Chip type is detected:\n\n Please manually select the corresponding type burn."});
    EXPECT_EQ(remembered(), (std::vector<int32_t>{7, 7, 7}));
}

INSTANTIATE_TEST_SUITE_P(Codes, FamilyWithoutItsType,
                         testing::Values(FamilyCase{"I2c", I2cEeprom24, 1, ""},
                                         FamilyCase{"Microwire", MicrowireEeprom93, 2, ""}),
                         [](const auto& info) { return info.param.name; });

class NothingDetected : public DetectChipTest, public testing::WithParamInterface<int> {};

// An empty socket answers 0, a 95-series chip 4, an AVR 5.
TEST_P(NothingDetected, ShowsTheEmptySocket)
{
    if (GetParam() >= 0)
        seatChip({uint8_t(GetParam()), 0, 1024, 32});

    EXPECT_EQ(DetectChip(workbench, host), DetectionOutcome::NoChip);

    EXPECT_EQ(host.socketPictures, std::vector<SocketPicture>{SocketPicture::Empty});
    EXPECT_EQ(host.errorBoxes, std::vector<std::string>{"No chips detected, please put the chip to try again!"});
    EXPECT_EQ(catalogue().currentChip, 6);
}

INSTANTIATE_TEST_SUITE_P(Codes, NothingDetected, testing::Values(-1, int(SpiEeprom95), int(Avr)),
                         [](const auto& info) {
                             return std::string(info.param < 0 ? "EmptySocket" : info.param == Avr ? "Avr" : "Eeprom95");
                         });

TEST_F(DetectChipTest, AbsentProgrammerChangesNothing)
{
    belcor_sim_set_plugged(0);
    const size_t statesBefore = host.stateTexts.size();
    EXPECT_EQ(DetectChip(workbench, host), DetectionOutcome::NotConnected);
    EXPECT_EQ(host.errorBoxes, std::vector<std::string>{"Not connected"});
    EXPECT_TRUE(host.socketPictures.empty());
    EXPECT_EQ(host.stateTexts.size(), statesBefore);
}

// A reply that never came says nothing about the socket. Waits for
// IdentifyChip to tell a failed exchange apart from an empty socket.
TEST_F(DetectChipTest, LostReplyIsACommunicationError)
{
    seatChip({0, 0xEF4018, 0x1000000, 256});
    belcor_sim_inject_fault(BELCOR_SIM_LOSE_REPLY, 0);
    EXPECT_EQ(DetectChip(workbench, host), DetectionOutcome::CommunicationFailed);
    EXPECT_EQ(lastError(), "Communication with the programmer failed. Please try again.");
    EXPECT_TRUE(host.socketPictures.empty());
}

// While another session is open the button only beeps.
TEST_F(DetectChipTest, BusyWorkbenchRefuses)
{
    workbench.busy = true;
    EXPECT_EQ(DetectChip(workbench, host), DetectionOutcome::Refused);
    workbench.busy = false;
    EXPECT_EQ(host.beepCount, 1);
    EXPECT_TRUE(host.errorBoxes.empty());
}

}  // namespace
