// The publishing options, from the logger's command line and from the publishing file.
#include <gtest/gtest.h>

#include <ranges>
#include <utility>

#include "publishing/PublishingOptions.h"
#include "support/TempDir.h"

namespace rheo {
namespace {

TEST(PublishingOptions, CommandLineAndFileGiveTheSameOptions) {
    std::vector<std::string_view> args;
    for (const auto arg :
         std::string_view("--port 1 --mqtt mqtts://b:9883 --mqtt-password-file /pw "
                          "--mqtt-allow-plaintext --mqtt-outbox-limit 5") |
             std::views::split(' ')) {
        args.emplace_back(arg.data(), arg.size());
    }
    PublishingOptions options;
    std::string error;
    EXPECT_EQ(TakePublishingArgument(args, 0, options, error), 0u);  // not ours
    for (std::size_t i = 2, taken = 1; i < args.size() && taken > 0; i += taken) {
        taken = TakePublishingArgument(args, i, options, error);
        EXPECT_GT(taken, 0u) << error;
    }
    test::TempDir directory;
    test::WriteFile(directory.File("vmqtt.txt"),
                    "# the lab's broker\r\nmqtt=mqtts://b:9883\r\n\nmqtt-password-file=/pw\n"
                    "mqtt-allow-plaintext=yes\nmqtt-outbox-limit=5\n");
    EXPECT_EQ(FindPublishingFile("/nonexistent", directory.Path().string()),
              directory.File("vmqtt.txt"));
    EXPECT_EQ(FindPublishingFile("/nonexistent", "/nonexistent"), "");
    const auto file = ReadPublishingFile(directory.File("vmqtt.txt"), error);
    ASSERT_TRUE(file) << error;
    for (const auto* read : {&std::as_const(options), &*file}) {
        EXPECT_EQ(read->url, "mqtts://b:9883");
        EXPECT_EQ(read->base, "rheotrackpanel");
        EXPECT_EQ(read->passwordFile, "/pw");
        EXPECT_TRUE(read->allowPlaintext);
        EXPECT_EQ(read->outboxLimit, 5);
    }
    test::WriteFile(directory.File("bad.txt"), "mqtt=mqtt://a\nmqtt-colour=red\n");
    EXPECT_FALSE(ReadPublishingFile(directory.File("bad.txt"), error));
    EXPECT_EQ(error, directory.File("bad.txt") + ":2: unknown publishing option: mqtt-colour");
    EXPECT_EQ(TakePublishingArgument({"--mqtt-base"}, 0, options, error), 0u);
    EXPECT_EQ(error, "--mqtt-base needs a value");
}

TEST(PublishingOptions, BrokerUrls) {
    std::string error;
    const auto tls = ParseBrokerUrl("mqtts://[::1]:8884", error);
    ASSERT_TRUE(tls);
    EXPECT_TRUE(tls->tls);
    EXPECT_EQ(tls->host, "::1");
    EXPECT_EQ(tls->port, 8884);
    EXPECT_EQ(ParseBrokerUrl("mqtt://broker", error)->port, 1883);
    EXPECT_EQ(ParseBrokerUrl("mqtts://broker", error)->port, 8883);
    for (const char* bad : {"http://broker", "mqtt://", "mqtt://broker:0", "mqtt://u@broker"}) {
        EXPECT_FALSE(ParseBrokerUrl(bad, error)) << bad;
    }
}

TEST(PublishingOptions, APasswordIsRefusedOverPlainMqttUnlessAllowed) {
    PublishingOptions options;
    options.url = "mqtt://broker";
    options.passwordFile = "/pw";
    std::string error;
    EXPECT_FALSE(options.Check(error));
    EXPECT_EQ(error,
              "refusing to send a password over plain mqtt://: use mqtts:// or "
              "--mqtt-allow-plaintext");
    options.allowPlaintext = true;
    EXPECT_TRUE(options.Check(error));
    options.url = "mqtts://broker";
    options.allowPlaintext = false;
    EXPECT_TRUE(options.Check(error));
    options.certFile = "client.crt";  // without its key
    EXPECT_FALSE(options.Check(error));
}

}  // namespace
}  // namespace rheo
