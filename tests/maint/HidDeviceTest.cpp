#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "maint/HidApi.h"
#include "maint/HidDevice.h"

namespace {

// A stand-in for hidapi with a device list the test chooses, so that the scan
// can meet situations the simulator cannot present (two boot loaders, devices
// without strings, paths that refuse to open).
struct FakeDevice {
    std::string path;
    unsigned short vendorId;
    unsigned short productId;
    std::optional<std::wstring> manufacturer;
    std::optional<std::wstring> product;
    bool opens = true;
};

struct FakeHid {
    std::vector<FakeDevice> devices;
    std::vector<hid_device_info> infos;
    std::vector<std::string> openedPaths;
    int closes = 0;
    int libraryCalls = 0;
    int lastTimeout = 0;
    int transferResult = 64;  // what write and read return
    std::vector<std::string> calls;
};

FakeHid* fake = nullptr;
char deviceToken;  // any non-null handle will do

hid_device* handleOf()
{
    return reinterpret_cast<hid_device*>(&deviceToken);
}

hid_device_info* fakeEnumerate(unsigned short, unsigned short)
{
    fake->infos.assign(fake->devices.size(), hid_device_info{});
    for (size_t i = 0; i < fake->devices.size(); ++i) {
        FakeDevice& d = fake->devices[i];
        hid_device_info& info = fake->infos[i];
        info.path = d.path.data();
        info.vendor_id = d.vendorId;
        info.product_id = d.productId;
        info.manufacturer_string = d.manufacturer ? d.manufacturer->data() : nullptr;
        info.product_string = d.product ? d.product->data() : nullptr;
        info.next = i + 1 < fake->devices.size() ? &fake->infos[i + 1] : nullptr;
    }
    return fake->infos.empty() ? nullptr : fake->infos.data();
}

void fakeFree(hid_device_info*) {}

hid_device* fakeOpenPath(const char* path)
{
    for (const FakeDevice& d : fake->devices)
        if (d.path == path && d.opens) {
            fake->openedPaths.push_back(path);
            return handleOf();
        }
    return nullptr;
}

int fakeWrite(hid_device*, const unsigned char*, size_t)
{
    fake->calls.push_back("write");
    return fake->transferResult;
}

int fakeReadTimeout(hid_device*, unsigned char*, size_t, int milliseconds)
{
    fake->calls.push_back("read");
    fake->lastTimeout = milliseconds;
    return fake->transferResult;
}

int fakeSendFeature(hid_device*, const unsigned char*, size_t)
{
    fake->calls.push_back("send feature");
    return fake->transferResult;
}

int fakeGetFeature(hid_device*, unsigned char*, size_t)
{
    fake->calls.push_back("get feature");
    return fake->transferResult;
}

void fakeClose(hid_device*)
{
    ++fake->closes;
}

HidApiTable fullTable()
{
    HidApiTable t;
    t.hid_enumerate = fakeEnumerate;
    t.hid_free_enumeration = fakeFree;
    t.hid_open_path = fakeOpenPath;
    t.hid_write = fakeWrite;
    t.hid_read_timeout = fakeReadTimeout;
    t.hid_send_feature_report = fakeSendFeature;
    t.hid_get_feature_report = fakeGetFeature;
    t.hid_close = fakeClose;
    return t;
}

constexpr unsigned short Vid = 0x28E9;
constexpr unsigned short Pid = 0x028B;
const std::wstring Maker = L"GigaDevice";
const std::wstring Name = L"GD32 USB IAP in FS Mode";

FakeDevice bootLoader(std::string path)
{
    return {std::move(path), Vid, Pid, Maker, Name};
}

class FakeHidTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake = &state;
        HidApi::replaceTable(fullTable());
    }
    void TearDown() override
    {
        device.hid_close();
        // Forget the fake; the next user loads the library again.
        HidApi::setLibraryPath(HidApi::libraryPath());
        fake = nullptr;
    }

    int openBootLoader() { return device.hid_open(Vid, "GigaDevice", Pid, "GD32 USB IAP in FS Mode"); }

    FakeHid state;
    HidDevice device;
};

// One scan over a device list: the result code and the path that was opened.
struct ScanCase {
    const char* name;
    std::vector<FakeDevice> devices;
    int result;
    const char* openedPath;  // nullptr: nothing stays open
};

class HidDeviceScan : public FakeHidTest, public ::testing::WithParamInterface<ScanCase> {};

TEST_P(HidDeviceScan, OpensFirstFullMatchAndReportsLastEvent)
{
    state.devices = GetParam().devices;
    EXPECT_EQ(openBootLoader(), GetParam().result);
    EXPECT_EQ(device.isOpen(), GetParam().openedPath != nullptr);
    if (GetParam().openedPath != nullptr) {
        ASSERT_FALSE(state.openedPaths.empty());
        EXPECT_EQ(state.openedPaths.back(), GetParam().openedPath);
    }
}

FakeDevice withManufacturer(std::string path, std::optional<std::wstring> manufacturer)
{
    FakeDevice d = bootLoader(std::move(path));
    d.manufacturer = std::move(manufacturer);
    return d;
}

FakeDevice withProduct(std::string path, std::optional<std::wstring> product)
{
    FakeDevice d = bootLoader(std::move(path));
    d.product = std::move(product);
    return d;
}

FakeDevice unopenable(std::string path)
{
    FakeDevice d = bootLoader(std::move(path));
    d.opens = false;
    return d;
}

const FakeDevice keyboard{"/dev/hidraw0", 0x046D, 0xC31C, L"Logi", L"Keyboard"};

INSTANTIATE_TEST_SUITE_P(
    Cases, HidDeviceScan,
    ::testing::Values(
        ScanCase{"NoDevices", {}, HidDevice::NoMatch, nullptr},
        ScanCase{"OtherIdsOnly", {keyboard}, HidDevice::NoMatch, nullptr},
        ScanCase{"TwoBootLoadersFirstWins", {keyboard, bootLoader("a"), bootLoader("b")}, 0, "a"},
        ScanCase{"WrongMakerSkipped", {withManufacturer("a", L"Other"), bootLoader("b")}, 0, "b"},
        ScanCase{"MakerCaseMatters", {withManufacturer("a", L"gigadevice")}, HidDevice::NoMatch, nullptr},
        ScanCase{"WrongProductOnly", {withProduct("a", L"GD32 DFU")}, HidDevice::NoMatch, nullptr},
        ScanCase{"MissingMaker", {withManufacturer("a", std::nullopt)}, HidDevice::StringReadFailed, nullptr},
        ScanCase{"MissingProduct", {withProduct("a", std::nullopt)}, HidDevice::StringReadFailed, nullptr},
        ScanCase{"OtherIdsKeepResult", {withProduct("a", std::nullopt), keyboard},
                 HidDevice::StringReadFailed, nullptr},
        ScanCase{"LaterMismatchWins", {withProduct("a", std::nullopt), withProduct("b", L"x")},
                 HidDevice::NoMatch, nullptr},
        ScanCase{"PathRefused", {unopenable("a")}, HidDevice::PathOpenFailed, nullptr},
        ScanCase{"PathRefusedThenNext", {unopenable("a"), bootLoader("b")}, 0, "b"},
        ScanCase{"WideCharacterIsQuestionMark", {withManufacturer("a", L"Giga\u8bbeDevice")},
                 HidDevice::NoMatch, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FakeHidTest, CharacterAboveLatin1ComparesAsQuestionMark)
{
    state.devices = {withManufacturer("a", L"Gig\u4e2aDevice")};
    EXPECT_EQ(device.hid_open(Vid, "Gig?Device", Pid, "GD32 USB IAP in FS Mode"), 0);
}

TEST_F(FakeHidTest, AbsentStringsTakeFirstDeviceWithIds)
{
    state.devices = {keyboard, withManufacturer("a", std::nullopt), bootLoader("b")};
    EXPECT_EQ(device.hid_open(Vid, nullptr, Pid, "GD32 USB IAP in FS Mode"), 0);
    EXPECT_EQ(state.openedPaths, std::vector<std::string>{"a"});
}

TEST_F(FakeHidTest, OpenAgainClosesThePreviousDevice)
{
    state.devices = {bootLoader("a")};
    ASSERT_EQ(openBootLoader(), 0);
    ASSERT_EQ(openBootLoader(), 0);
    EXPECT_EQ(state.closes, 1);
}

TEST_F(FakeHidTest, ClosedDeviceClosesOnceAndTransfersNothing)
{
    state.devices = {bootLoader("a")};
    ASSERT_EQ(openBootLoader(), 0);
    device.hid_close();
    device.hid_close();
    EXPECT_EQ(state.closes, 1);

    uint8_t report[64] = {1};
    EXPECT_FALSE(device.hid_write(HidDevice::Output, report, sizeof report));
    EXPECT_FALSE(device.hid_write(HidDevice::Feature, report, sizeof report));
    EXPECT_FALSE(device.hid_read(HidDevice::Input, report, sizeof report));
    EXPECT_FALSE(device.hid_read(HidDevice::Feature, report, sizeof report));
    EXPECT_TRUE(state.calls.empty());
}

// Which library function each (direction, kind) pair reaches.
struct KindCase {
    bool write;
    int kind;
    const char* call;  // nullptr: refused without a call
};

class HidDeviceKinds : public FakeHidTest, public ::testing::WithParamInterface<KindCase> {};

TEST_P(HidDeviceKinds, RouteToTheirReportType)
{
    state.devices = {bootLoader("a")};
    ASSERT_EQ(openBootLoader(), 0);
    uint8_t report[64] = {1};
    const KindCase& c = GetParam();
    const bool ok = c.write ? device.hid_write(c.kind, report, sizeof report)
                            : device.hid_read(c.kind, report, sizeof report);
    EXPECT_EQ(ok, c.call != nullptr);
    if (c.call != nullptr)
        EXPECT_EQ(state.calls, std::vector<std::string>{c.call});
    else
        EXPECT_TRUE(state.calls.empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, HidDeviceKinds,
                         ::testing::Values(KindCase{true, HidDevice::Output, "write"},
                                           KindCase{true, HidDevice::Feature, "send feature"},
                                           KindCase{true, HidDevice::Input, nullptr},
                                           KindCase{true, 0, nullptr},
                                           KindCase{false, HidDevice::Input, "read"},
                                           KindCase{false, HidDevice::Feature, "get feature"},
                                           KindCase{false, HidDevice::Output, nullptr},
                                           KindCase{false, 4, nullptr}),
                         [](const auto& info) {
                             const int kind = info.param.kind;
                             const std::string kindName = kind == HidDevice::Output    ? "Output"
                                 : kind == HidDevice::Feature                          ? "Feature"
                                 : kind == HidDevice::Input                            ? "Input"
                                                                                       : "Kind" + std::to_string(kind);
                             return (info.param.write ? "Write" : "Read") + kindName;
                         });

TEST_F(FakeHidTest, TimeOutShortWriteAndErrorFail)
{
    state.devices = {bootLoader("a")};
    ASSERT_EQ(openBootLoader(), 0);
    uint8_t report[64] = {1};
    state.transferResult = 0;  // hidapi: no input report arrived in time
    EXPECT_FALSE(device.hid_read(HidDevice::Input, report, sizeof report));
    EXPECT_EQ(state.lastTimeout, HidDevice::InputReportTimeoutMs);
    state.transferResult = 63;
    EXPECT_FALSE(device.hid_write(HidDevice::Output, report, sizeof report));
    state.transferResult = -1;
    EXPECT_FALSE(device.hid_write(HidDevice::Output, report, sizeof report));
    EXPECT_FALSE(device.hid_read(HidDevice::Feature, report, sizeof report));
}

TEST_F(FakeHidTest, MissingEntryPointsFindNothing)
{
    state.devices = {bootLoader("a")};
    HidApiTable table = fullTable();
    table.hid_open_path = nullptr;
    HidApi::replaceTable(table);
    EXPECT_EQ(openBootLoader(), HidDevice::PathOpenFailed);

    table = fullTable();
    table.hid_enumerate = nullptr;
    HidApi::replaceTable(table);
    EXPECT_EQ(openBootLoader(), HidDevice::NoMatch);
    EXPECT_FALSE(device.isOpen());
}

TEST(HidApiBinding, MissingLibraryFindsNothing)
{
    const std::string previous = HidApi::libraryPath();
    HidApi::setLibraryPath("/nonexistent/libhidapi-missing.so.0");
    HidDevice device;
    EXPECT_EQ(device.hid_open(Vid, "GigaDevice", Pid, "GD32 USB IAP in FS Mode"), HidDevice::NoMatch);
    uint8_t report[64] = {1};
    EXPECT_FALSE(device.hid_write(HidDevice::Output, report, sizeof report));
    HidApi::setLibraryPath(previous);
}

struct AsciiCase {
    const char* name;
    const wchar_t* wide;
    const char* ascii;
};

class HidToAscii : public ::testing::TestWithParam<AsciiCase> {};

TEST_P(HidToAscii, KeepsLatin1AndMarksTheRest)
{
    EXPECT_EQ(HidDevice::hid_to_ascii(GetParam().wide), GetParam().ascii);
}

INSTANTIATE_TEST_SUITE_P(Cases, HidToAscii,
                         ::testing::Values(AsciiCase{"Ascii", L"GigaDevice", "GigaDevice"},
                                           AsciiCase{"Empty", L"", ""}, AsciiCase{"Null", nullptr, ""},
                                           AsciiCase{"Latin1", L"caf\u00e9", "caf\xe9"},
                                           AsciiCase{"BeyondLatin1", L"\u0100x\u4e2d", "?x?"},
                                           AsciiCase{"BeyondTheBasicPlane", L"a\U0001F600b", "a?b"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
