// The publishing options, from the logger's command line and from the publishing file.
#include <gtest/gtest.h>

#include <utility>
#include "publishing/PublishingOptions.h"

#include "support/TempDir.h"

namespace rheo {
namespace {

TEST(PublishingOptions, CommandLineAndFileGiveTheSameOptions) {
    const std::vector<std::string_view> args = {"--port",
                                                "1",
                                                "--mqtt",
                                                "mqtts://broker.lab:9883",
                                                "--mqtt-base",
                                                "lab",
                                                "--mqtt-user",
                                                "logger",
                                                "--mqtt-password-file",
                                                "/etc/pw",
                                                "--mqtt-allow-plaintext"};
    PublishingOptions fromArgs;
    std::string error;
    EXPECT_EQ(TakePublishingArgument(args, 0, fromArgs, error), 0u);
    for (std::size_t i = 2; i < args.size();) {
        const std::size_t taken = TakePublishingArgument(args, i, fromArgs, error);
        ASSERT_GT(taken, 0u) << error;
        i += taken;
    }
    test::TempDir directory;
    test::WriteFile(directory.File("vmqtt.txt"),
                    "# the lab's broker\r\nmqtt=mqtts://broker.lab:9883\r\nmqtt-base=lab\n\n"
                    "mqtt-user=logger\nmqtt-password-file=/etc/pw\nmqtt-allow-plaintext=yes\n");
    const auto fromFile = ReadPublishingFile(directory.File("vmqtt.txt"), error);
    ASSERT_TRUE(fromFile) << error;
    for (const PublishingOptions* options : {&std::as_const(fromArgs), &*fromFile}) {
        EXPECT_EQ(options->url, "mqtts://broker.lab:9883");
        EXPECT_EQ(options->base, "lab");
        EXPECT_EQ(options->user, "logger");
        EXPECT_EQ(options->passwordFile, "/etc/pw");
        EXPECT_TRUE(options->allowPlaintext);
        EXPECT_EQ(options->outboxLimit, kDefaultOutboxLimit);
    }

    test::WriteFile(directory.File("bad.txt"), "mqtt=mqtt://a\nmqtt-colour=red\n");
    EXPECT_FALSE(ReadPublishingFile(directory.File("bad.txt"), error));
    EXPECT_EQ(error, directory.File("bad.txt") + ":2: unknown publishing option: mqtt-colour");
    EXPECT_EQ(TakePublishingArgument({"--mqtt-base"}, 0, fromArgs, error), 0u);
    EXPECT_EQ(error, "--mqtt-base needs a value");
}

TEST(PublishingOptions, BrokerUrls) {
    std::string error;
    const auto plain = ParseBrokerUrl("mqtt://127.0.0.1", error);
    ASSERT_TRUE(plain);
    EXPECT_FALSE(plain->tls);
    EXPECT_EQ(plain->port, 1883);
    const auto tls = ParseBrokerUrl("mqtts://[::1]:8884", error);
    ASSERT_TRUE(tls);
    EXPECT_TRUE(tls->tls);
    EXPECT_EQ(tls->host, "::1");
    EXPECT_EQ(tls->port, 8884);
    EXPECT_EQ(ParseBrokerUrl("mqtts://broker", error)->port, 8883);
    for (const char* bad :
         {"http://broker", "mqtt://", "mqtt://broker:0", "mqtt://broker:x", "mqtt://user@broker"}) {
        EXPECT_FALSE(ParseBrokerUrl(bad, error)) << bad;
    }
}

TEST(PublishingOptions, APasswordIsRefusedOverPlainMqttUnlessAllowed) {
    PublishingOptions options;
    options.url = "mqtt://broker";
    options.user = "logger";
    options.passwordFile = "/etc/pw";
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
