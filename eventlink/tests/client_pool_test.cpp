// The pool behind the exports: registry settings, default and by-address connections, and the
// settings lists of ChangeESParams.
#include "client_test_support.h"

using namespace clienttest;
using eventlink::ProcessPool;

namespace {

TEST(SettingsListTest, ValuesComeFromTheFirstMatchingLineWithoutRegardToCase) {
  auto list = eventlink::TSettingsList::Parse("serverip=a=b\r\nServerIP=second\nEmpty=\nUserName=Иван");
  EXPECT_EQ(list.Value("ServerIP"), "a=b");
  EXPECT_EQ(list.Value("empty"), "");
  EXPECT_EQ(list.Value("Missing"), "");
  EXPECT_EQ(list.Value("USERNAME"), "Иван");
}

TEST(SettingsListTest, ApplyingAListKeepsOrDefaultsEachKeyByItsRule) {
  eventlink::TConnectionConfig config;
  config.ConnectionName = "keep";
  config.ServerIP = "10.0.0.1";
  config.ServerPort = 2100;
  config.OBJChangeCode = 4;
  config.bIKMEventMode = true;
  config.UserName = "old";
  eventlink::ApplySettingsList(eventlink::TSettingsList::Parse(
      "ConnectionName=\nServerPort=12x\nOBJChangeCode=-3\nbIKMEventMode=2\nProtocolOperatorId=258\n"
      "ProtocolPassword=abc\nProtocolPort=9000"), config);
  EXPECT_EQ(config.ConnectionName, "keep");
  EXPECT_EQ(config.ServerIP, "10.0.0.1");
  EXPECT_EQ(config.ServerPort, 2100);
  EXPECT_EQ(config.OBJChangeCode, -3);
  EXPECT_FALSE(config.bIKMEventMode);
  EXPECT_EQ(config.UserName, "");  // always taken
  EXPECT_EQ(config.ProtocolOperatorId, 2);  // 258 kept in 8 bits
  EXPECT_EQ(config.ProtocolPassword, 5807);
  EXPECT_EQ(config.ProtocolPort, 9000);
  EXPECT_EQ(config.ProtocolBufferSize, 1024000);
}

class PoolTest : public ::testing::Test {
 protected:
  void SetUp() override { FreshPool(); }
  void TearDown() override {
    eventlink::RecreateProcessPool();
    eventlink::ProcessSettings() = eventlink::TProcessSettings{};
  }
};

TEST_F(PoolTest, RegistryGivesDefaultsAndWritesTheTwoMissingProcessValuesBack) {
  struct Case {
    std::function<void()> prepare;
    std::string ip;
    int32_t port;
  };
  const Case cases[] = {
      {[] {}, "127.0.0.1", 2024},
      {[] { WriteEventServerValue("ServerPort", 0); }, "127.0.0.1", 2024},
      {[] { WriteEventServerString("ServerIP", ""); WriteEventServerValue("ServerPort", 3100); }, "127.0.0.1", 3100},
      {[] { WriteEventServerString("ServerIP", "10.1.2.3"); }, "10.1.2.3", 2024},
  };
  for (const auto& c : cases) {
    FreshRegistry();
    c.prepare();
    eventlink::RecreateProcessPool();
    auto defaults = ProcessPool().DefaultsCopy();
    EXPECT_EQ(defaults.ServerIP, c.ip);
    EXPECT_EQ(defaults.ServerPort, c.port);
  }
  // The last case had the key: the two process values were written there.
  platform::Registry reg(platform::HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(reg.OpenKeyReadOnly(eventlink::kEventServerKey));
  EXPECT_EQ(reg.ReadInteger("ClientBufSize"), 0);
  EXPECT_EQ(reg.ReadInteger("ClientAsyncResend"), 1);
}

TEST_F(PoolTest, AValueOfTheWrongTypeEndsTheReadingKeepingWhatWasRead) {
  WriteEventServerString("ServerIP", "10.9.9.9");
  WriteEventServerValue("ClientBufSize", 5000);
  WriteEventServerString("ClientAsyncResend", "not a number");  // ignored by itself
  WriteEventServerString("OBJChangeCode", "x");                 // ends the reading
  WriteEventServerValue("bIKMEventMode", 1);
  eventlink::RecreateProcessPool();
  auto defaults = ProcessPool().DefaultsCopy();
  EXPECT_EQ(defaults.ServerIP, "10.9.9.9");
  EXPECT_EQ(eventlink::ProcessSettings().ClientBufSize, 5000);
  EXPECT_EQ(eventlink::ProcessSettings().ClientAsyncResend, 1);
  EXPECT_FALSE(defaults.bIKMEventMode);
  EXPECT_EQ(defaults.ComputerName, eventlink::LocalComputerName());
}

TEST_F(PoolTest, MaxSendFailsCountIsReadOnceWith100WhenMissing) {
  EXPECT_EQ(eventlink::MaxSendFailsCount(), 100);
  WriteEventServerValue("MaxSendFailsCount", 7);
  EXPECT_EQ(eventlink::MaxSendFailsCount(), 100);
  eventlink::ResetMaxSendFailsCount();
  EXPECT_EQ(eventlink::MaxSendFailsCount(), 7);
}

TEST_F(PoolTest, ConnectingTwiceKeepsOneConnectionAndItsFirstName) {
  ConnectToES_Ex("first");
  ConnectToES_Ex1("second", "user");
  EXPECT_EQ(ProcessPool().EntryCount(), 1u);
  EXPECT_EQ(ProcessPool().DefaultConnection()->ConnectionName(), "first");
}

TEST_F(PoolTest, AnExistingConnectionToTheDefaultAddressBecomesTheDefault) {
  ConnectToES_Multiple("other", "u", "10.0.0.5", 2024);
  EXPECT_EQ(ProcessPool().DefaultConnection(), nullptr);
  WriteEventServerString("ServerIP", "10.0.0.5");
  eventlink::RecreateProcessPool();
  ConnectToES_Multiple("other", "u", "10.0.0.5", 2024);
  ConnectToES_Ex("mine");
  EXPECT_EQ(ProcessPool().EntryCount(), 1u);
  EXPECT_EQ(ProcessPool().DefaultConnection(), ProcessPool().ConnectionFor("10.0.0.5"));
  EXPECT_EQ(ProcessPool().DefaultConnection()->ConnectionName(), "other");
}

TEST_F(PoolTest, AddressesCompareWithoutRegardToCase) {
  ConnectToES_Multiple("a", "", "server1", 2024);
  ConnectToES_Multiple("b", "", "SERVER1", 2025);
  ConnectToES_Multiple("c", "", "alpha", 2024);
  EXPECT_EQ(ProcessPool().EntryAddresses(), (std::vector<std::string>{"alpha", "server1"}));
  EXPECT_EQ(ProcessPool().ConnectionFor("Server1")->Port(), 2024);
  DisconnectFromES_Multiple("SeRvEr1");
  EXPECT_EQ(ProcessPool().EntryCount(), 1u);
}

TEST_F(PoolTest, AfterDisconnectTheExportsDoNothing) {
  ConnectToES_Ex("x");
  DisconnectFromES_Ex();
  EXPECT_EQ(ProcessPool().EntryCount(), 0u);
  EXPECT_EQ(SendEventToES_Ex(1, 1, 1, 1, 1, 1, "t", 0, 0), 0);
  EXPECT_FALSE(ESClientConnected());
  EvSubscribe(1, 1, 1, 1, 1, 1, nullptr, nullptr);
  EXPECT_EQ(ChangeESParams("ServerPort=1"), 1);
  EXPECT_EQ(SendRemoteProtocolS50Command(1, nullptr, 0, nullptr, nullptr, nullptr, -1), -1);
}

TEST_F(PoolTest, ChangeESParamsBeforeAnyConnectChangesNothing) {
  EXPECT_EQ(ChangeESParams("ServerPort=3000"), 1);
  EXPECT_EQ(ProcessPool().DefaultsCopy().ServerPort, 2024);
}

TEST_F(PoolTest, ChangeESParamsRebuildsTheDefaultWithAChannelAndDiscardsPending) {
  ConnectToES_Ex1("x", "someone");
  for (int i = 0; i < 3; ++i) SendEventToES_Ex(1, i, 0, 5, 0, 0, "", 0, 0);
  auto connection = ProcessPool().DefaultConnection();
  EXPECT_GT(connection->PendingLength(), 0);
  EXPECT_EQ(ChangeESParams("ServerPort=3000"), 0);
  EXPECT_EQ(ProcessPool().DefaultConnection(), connection);
  EXPECT_EQ(connection->Port(), 3000);
  EXPECT_EQ(connection->Host(), "127.0.0.1");
  EXPECT_EQ(connection->UserName(), "");
  EXPECT_EQ(connection->PendingLength(), 0);
  auto channel = ProcessPool().DefaultProtocol();
  ASSERT_NE(channel, nullptr);
  EXPECT_EQ(channel->Port(), 10100);
  EXPECT_EQ(channel->OperatorId(), 1);
  EXPECT_EQ(channel->Password(), 5807);
  EXPECT_EQ(channel->BufferSize(), 1024000);
}

TEST_F(PoolTest, ChangeESParamsToAnotherConnectionsAddressReplacesTheDefault) {
  ConnectToES_Ex("default");
  ConnectToES_Multiple("other", "", "LOCALHOST", 2024);
  std::weak_ptr<eventlink::TTCPClientSocket> oldDefault = ProcessPool().DefaultConnection();
  auto other = ProcessPool().ConnectionFor("localhost");
  EXPECT_EQ(ChangeESParams("ServerIP=localhost\nServerPort=4000"), 0);
  EXPECT_EQ(ProcessPool().DefaultConnection(), other);
  EXPECT_EQ(ProcessPool().EntryCount(), 1u);
  EXPECT_TRUE(oldDefault.expired());
  EXPECT_EQ(other->Port(), 4000);
}

TEST_F(PoolTest, ChangeESParamsMultipleSelectsByTheListsServerIP) {
  ConnectToES_Ex("default");
  ConnectToES_Multiple("other", "", "10.0.0.7", 2024);
  EXPECT_EQ(ChangeESParams_Multiple("ignored", "ServerIP=10.0.0.8"), 1);
  EXPECT_EQ(ChangeESParams_Multiple("ignored", "ServerIP=10.0.0.7\nServerPort=2100\nConnectionName=renamed"), 0);
  EXPECT_EQ(ProcessPool().ConnectionFor("10.0.0.7")->Port(), 2100);
  EXPECT_EQ(ProcessPool().ConnectionFor("10.0.0.7")->ConnectionName(), "renamed");
  EXPECT_EQ(ProcessPool().DefaultConnection()->Port(), 2024);
  EXPECT_EQ(ProcessPool().DefaultProtocol(), nullptr);
}

TEST(VariantExportsTest, CCallersBuildAndReadValues) {
  ESVariant* array = ESVariantCreateArray(0, 2);
  ESVariant* number = ESVariantCreateInteger(13);
  ESVariant* text = ESVariantCreateString("привет");
  EXPECT_EQ(ESVariantArraySet(array, 0, number), 0);
  EXPECT_EQ(ESVariantArraySet(array, 1, text), 0);
  EXPECT_EQ(ESVariantArraySet(array, 3, text), -1);
  ESVariantFree(number);
  ESVariantFree(text);
  int32_t low = -1, high = -1, value = 0;
  ASSERT_EQ(ESVariantArrayBounds(array, &low, &high), 0);
  EXPECT_EQ(high, 2);
  EXPECT_EQ(ESVariantAsInteger(ESVariantArrayItem(array, 0), &value), 0);
  EXPECT_EQ(value, 13);
  char buf[8];
  EXPECT_EQ(ESVariantAsString(ESVariantArrayItem(array, 1), buf, sizeof buf), 12);
  EXPECT_EQ(std::string(buf, 6), "при");  // cut to the buffer
  EXPECT_EQ(ESVariantType(ESVariantArrayItem(array, 2)), ES_VT_EMPTY);
  EXPECT_EQ(ESVariantArrayItem(array, 5), nullptr);
  ESVariantFree(array);
}

}  // namespace
