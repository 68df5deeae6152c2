// The config file, its MQTT account file and the command line: every key read as meant, and
// every mistake refused with the file, the line and the key.
#include "common/bytes.h"
#include "watch/watch.h"
#include "watch/watchconfig.h"
#include "watch/watchoptions.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>

using namespace fh;
using namespace fh::watch;

namespace {

class Config : public ::testing::Test {
protected:
    void SetUp() override {
        // Account files: the good one is for its owner and group only.
        file("good.cred", "# plant broker\nusername=plant\npassword=s3 cret=x\n", 0640);
        file("open.cred", "username=plant\npassword=s3cret\n", 0644);
        file("typo.cred", "username=plant\npasswd=s3cret\n", 0600);
        file("twice.cred", "username=a\nusername=b\n", 0600);
        file("nouser.cred", "password=s3cret\n", 0600);
        file("ca.pem", "-----BEGIN CERTIFICATE-----\n", 0644);
    }
    void file(const char* name, const QByteArray& text, int mode) {
        const QString path = dir_.filePath(name);
        ASSERT_TRUE(test::writeAll(path, text));
        ASSERT_TRUE(QFile::setPermissions(path, QFile::Permissions(modeBits(mode))));
    }
    static int modeBits(int mode) { // 0640 -> Qt's owner/group/other read-write flags
        int qt = 0;
        const int bits[] = {0400, 0200, 0040, 0020, 0004, 0002};
        const int flags[] = {0x4000 | 0x0400, 0x2000 | 0x0200, 0x0040, 0x0020, 0x0004, 0x0002};
        for (int i = 0; i < 6; ++i)
            qt |= (mode & bits[i]) ? flags[i] : 0;
        return qt;
    }
    std::optional<WatchConfig> parse(const QByteArray& json, QString* error) {
        return ParseWatchConfig(json, QStringLiteral("w.json"), dir_.path(), error);
    }
    QTemporaryDir dir_;
};

TEST_F(Config, EveryKeyIsRead) {
    QString error;
    const auto c = parse(R"({
      "lines": [
        { "name": "trunk-a", "port": "/dev/ttyUSB0", "line_mode": "rts-inverted", "echo": true,
          "detectors": [3, 1, 2], "readings_period_s": 0, "turnaround_us": 2500,
          "fast_replies": false, "accept_bad_check": true },
        { "port": "tcp://[fd00::5]:4001", "detectors": "scan" }
      ],
      "mqtt": { "credentials_file": "good.cred", "ca_file": "ca.pem", "client_id": "fh-1",
                "queue_limit": 50, "keepalive_s": 10 }
    })",
                         &error);
    ASSERT_TRUE(c) << error.toStdString();
    ASSERT_EQ(c->lines.size(), 2);
    const LineConfig& a = c->lines[0];
    EXPECT_EQ(a.name, "trunk-a");
    EXPECT_EQ(a.port, "/dev/ttyUSB0");
    EXPECT_EQ(a.mode, LineMode::RtsInverted);
    EXPECT_EQ((std::tuple{a.echo, a.scan, a.fastReplies, a.acceptBadCheck}),
              (std::tuple{true, false, false, true}));
    EXPECT_EQ(a.detectors, (QList<int>{3, 1, 2})) << "polled in the order given";
    EXPECT_EQ((std::pair{a.readingsPeriodS, a.turnaroundUs}), (std::pair{0, 2500}));
    // The defaults: the name is the port, and the service polls with frame-complete replies.
    const LineConfig& b = c->lines[1];
    EXPECT_EQ(b.name, "tcp://[fd00::5]:4001");
    EXPECT_EQ(TopicLevel(b.name), "tcp:__[fd00::5]:4001");
    EXPECT_EQ((std::tuple{b.scan, b.mode, b.echo, b.readingsPeriodS, b.turnaroundUs, b.fastReplies,
                          b.acceptBadCheck}),
              (std::tuple{true, LineMode::Rts, false, 60, 4000, true, false}));
    // The password keeps its blanks and its "=".
    ASSERT_TRUE(c->mqtt.credentials);
    EXPECT_EQ(*c->mqtt.credentials, (MqttCredentials{"plant", "s3 cret=x"}));
    EXPECT_EQ(c->mqtt.caFile, dir_.filePath("ca.pem"));
    EXPECT_EQ((std::tuple{c->mqtt.clientId, c->mqtt.queueLimit, c->mqtt.keepaliveS}),
              (std::tuple{QString("fh-1"), 50, 10}));
}

// One line with the usual members and some more.
#define LINE(x) "{\"lines\": [{\"port\": \"/dev/a\", \"detectors\": [1]" x "}]}"
#define MQTT(x) "{\"lines\": [{\"port\": \"/dev/a\", \"detectors\": [1]}],\n\"mqtt\": {" x "}}"

TEST_F(Config, MistakesNameTheFileTheLineAndTheKey) {
    const QString d = dir_.path();
    const struct {
        const char* json;
        QString error; // the whole message
    } rows[] = {
        {"{\"lines\": [\n{\"port\": ", "w.json:2: not valid JSON: unterminated object"},
        {"[]", "w.json:1: top level: must be an object with a \"lines\" list"},
        {"{\"lines\": []}", "w.json:1: lines: must be a list of at least one line"},
        {"{\"lines\": [5]}", "w.json:1: lines[0]: must be an object with at least \"port\" and "
                             "\"detectors\""},
        {LINE(",\n\"line\": 1"), "w.json:2: lines[0].line: unknown key"},
        {"{\"lines\": [{\"port\": \"/dev/a\", \"detectors\": [1]}],\n\"metrics\": 1}",
         "w.json:2: metrics: unknown key"},
        {LINE(",\n\"port\": \"/dev/b\""), "w.json:2: lines[0].port: given twice"},
        {"{\"lines\": [{\"detectors\": [1]}]}",
         "w.json:1: lines[0].port: missing: the line's serial device or tcp://HOST:PORT"},
        {"{\"lines\": [{\n\"port\": 4001, \"detectors\": [1]}]}",
         "w.json:2: lines[0].port: must be a text of 1 to 255 characters"},
        {"{\"lines\": [{\"port\": \"ttyUSB0\", \"detectors\": [1]}]}",
         "w.json:1: lines[0].port: must be a device path such as /dev/ttyUSB0, or tcp://HOST:PORT"},
        {"{\"lines\": [{\"port\": \"tcp://10.0.0.5\", \"detectors\": [1]}]}",
         "w.json:1: lines[0].port: \"tcp://10.0.0.5\" is not a network port: no port number. "
         "Write tcp://HOST:PORT, e.g. tcp://192.168.1.50:4001."},
        {LINE(",\n\"name\": \"a/b\""),
         "w.json:2: lines[0].name: must not hold /, + or # (it is an MQTT topic level)"},
        {LINE(",\n\"name\": \"\""),
         "w.json:2: lines[0].name: must be a text of 1 to 64 characters"},
        {LINE(",\n\"line_mode\": \"rs485\""),
         "w.json:2: lines[0].line_mode: must be one of rts, rts-inverted, auto, kernel"},
        {LINE(",\n\"echo\": \"yes\""), "w.json:2: lines[0].echo: must be true or false"},
        {"{\"lines\": [{\"port\": \"/dev/a\"}]}",
         "w.json:1: lines[0].detectors: missing: a list of bus addresses, or \"scan\""},
        {"{\"lines\": [{\"port\": \"/dev/a\",\n\"detectors\": \"all\"}]}",
         "w.json:2: lines[0].detectors: must be \"scan\" or a list of bus addresses 1 to 247"},
        {"{\"lines\": [{\"port\": \"/dev/a\", \"detectors\": [1,\n248]}]}",
         "w.json:2: lines[0].detectors[1]: must be a bus address from 1 to 247"},
        {"{\"lines\": [{\"port\": \"/dev/a\", \"detectors\": [1.5]}]}",
         "w.json:1: lines[0].detectors[0]: must be a bus address from 1 to 247"},
        {"{\"lines\": [{\"port\": \"/dev/a\", \"detectors\": [3, 4,\n3]}]}",
         "w.json:2: lines[0].detectors[2]: address 3 is listed twice"},
        {LINE(",\n\"readings_period_s\": -1"),
         "w.json:2: lines[0].readings_period_s: must be a whole number from 0 to 86400"},
        {LINE(",\n\"turnaround_us\": 40000"),
         "w.json:2: lines[0].turnaround_us: must be a whole number from 0 to 32767"},
        {LINE(",\n\"fast_replies\": 1"), "w.json:2: lines[0].fast_replies: must be true or false"},
        {LINE(",\n\"accept_bad_check\": null"),
         "w.json:2: lines[0].accept_bad_check: must be true or false"},
        {"{\"lines\": [{\"port\": \"/dev/a\", \"detectors\": [1]},\n"
         "{\"port\": \"/dev/a\", \"detectors\": [2]}]}",
         "w.json:2: lines[1].port: /dev/a is already watched by lines[0]"},
        {"{\"lines\": [{\"name\": \"x\", \"port\": \"/dev/a\", \"detectors\": [1]},\n"
         "{\"name\": \"x\", \"port\": \"/dev/b\", \"detectors\": [2]}]}",
         "w.json:2: lines[1].name: the name x is already taken by lines[0]"},
        // A default name taken from a device path meets a given one in the MQTT topic.
        {"{\"lines\": [{\"name\": \"_dev_b\", \"port\": \"/dev/a\", \"detectors\": [1]},\n"
         "{\"port\": \"/dev/b\", \"detectors\": [2]}]}",
         "w.json:2: lines[1].port: the name /dev/b is already taken by lines[0]"},
        {"{\"lines\": [{\"port\": \"/dev/a\", \"detectors\": [1]}],\n\"mqtt\": []}",
         "w.json:2: mqtt: must be an object"},
        {MQTT("\"password\": \"s3cret\""),
         "w.json:2: mqtt.password: the account does not go into the config: put it into the file "
         "that \"credentials_file\" names"},
        {MQTT("\"host\": \"broker\""), "w.json:2: mqtt.host: unknown key"},
        {MQTT("\"credentials_file\": \"none.cred\""),
         "w.json:2: mqtt.credentials_file: " + d + "/none.cred: No such file or directory"},
        {MQTT("\"credentials_file\": \"open.cred\""),
         "w.json:2: mqtt.credentials_file: " + d +
             "/open.cred holds a password and everybody may "
             "read it; allow only its owner and group (chmod o-rwx " +
             d + "/open.cred)"},
        {MQTT("\"credentials_file\": \"typo.cred\""), "w.json:2: mqtt.credentials_file: " + d +
                                                          "/typo.cred:2: expected username=... or "
                                                          "password=..."},
        {MQTT("\"credentials_file\": \"twice.cred\""),
         "w.json:2: mqtt.credentials_file: " + d + "/twice.cred:2: username is given twice"},
        {MQTT("\"credentials_file\": \"nouser.cred\""),
         "w.json:2: mqtt.credentials_file: " + d +
             "/nouser.cred names no user (a line username=...)"},
        {MQTT("\"ca_file\": \"none.pem\""),
         "w.json:2: mqtt.ca_file: " + d + "/none.pem: No such file or directory"},
        {MQTT("\"queue_limit\": 0"),
         "w.json:2: mqtt.queue_limit: must be a whole number from 1 to 1000000"},
        {MQTT("\"keepalive_s\": 2"),
         "w.json:2: mqtt.keepalive_s: must be a whole number from 5 to 3600"},
        {MQTT("\"client_id\": \"\""),
         "w.json:2: mqtt.client_id: must be a text of 1 to 64 characters"},
    };
    for (const auto& row : rows) {
        QString error;
        EXPECT_FALSE(parse(row.json, &error)) << row.json;
        EXPECT_EQ(error.toStdString(), row.error.toStdString()) << row.json;
    }
}

TEST(WatchOptions, CommandLineIsReadOrRefused) {
    const struct {
        QStringList args;
        QString error; // empty: accepted
    } rows[] = {
        {{"--config", "w.json"}, ""},
        {{"--config", "w.json", "--metrics", "[::1]:0", "--mqtt", "mqtts://broker.plant", "--topic",
          "site/fh"},
         ""},
        {{}, "--config FILE is required"},
        {{"--config", "a", "--config", "b"}, "--config is given more than once"},
        {{"--config", "w.json", "extra"}, "unexpected argument \"extra\""},
        {{"--config", "w.json", "--password", "x"}, "Unknown option 'password'."},
        {{"--config", "w.json", "--metrics", "9464"},
         "--metrics takes ADDRESS:PORT with an IP address to listen on, e.g. 127.0.0.1:9464 or "
         "[::1]:9464, not \"9464\""},
        {{"--config", "w.json", "--metrics", "localhost:9464"},
         "--metrics takes ADDRESS:PORT with an IP address to listen on, e.g. 127.0.0.1:9464 or "
         "[::1]:9464, not \"localhost:9464\""},
        {{"--config", "w.json", "--mqtt", "http://broker:1883"},
         "--mqtt takes tcp://HOST:PORT, or mqtts://HOST:PORT for TLS, e.g. tcp://127.0.0.1:1883, "
         "not \"http://broker:1883\""},
        {{"--config", "w.json", "--mqtt", "tcp://broker:0"},
         "--mqtt takes tcp://HOST:PORT, or mqtts://HOST:PORT for TLS, e.g. tcp://127.0.0.1:1883, "
         "not \"tcp://broker:0\""},
        {{"--config", "w.json", "--topic", "x"}, "--topic needs --mqtt"},
        {{"--config", "w.json", "--mqtt", "tcp://b", "--topic", "site/#"},
         "--topic takes topic levels without +, # and without a leading or trailing /, e.g. "
         "plant/flamehost"},
    };
    for (const auto& row : rows) {
        const ParsedWatchArgs p = ParseWatchArgs(QStringList{"flamehost-watch"} + row.args);
        EXPECT_EQ(p.error.toStdString(), row.error.toStdString())
            << row.args.join(' ').toStdString();
        EXPECT_EQ(p.options.has_value(), row.error.isEmpty());
    }
    const auto o = ParseWatchArgs({"w", "--config", "c", "--metrics", "[::1]:9464", "--mqtt",
                                   "mqtts://broker.plant", "--topic", "site/fh"})
                       .options;
    ASSERT_TRUE(o && o->metrics && o->mqtt);
    EXPECT_EQ((std::tuple{o->metrics->host, o->metrics->port}),
              (std::tuple{QHostAddress("::1"), quint16(9464)}));
    EXPECT_EQ((std::tuple{o->mqtt->host, o->mqtt->port, o->mqtt->tls, o->topic}),
              (std::tuple{QString("broker.plant"), quint16(8883), true, QString("site/fh")}));
}

// TLS is asked for on the command line and checked with the config's CA file: one without the
// other would send the account in clear text, or check nothing.
TEST(WatchOptions, TlsNeedsTheCaFileAndTheCaFileNeedsTls) {
    WatchOptions o;
    o.configPath = "w.json";
    WatchConfig c;
    for (const auto& [tls, ca, error] :
         {std::tuple{true, "",
                     "w.json: --mqtt asks for TLS (mqtts://) but mqtt.ca_file names no "
                     "CA certificate to check the broker with"},
          {false, "ca.pem",
           "w.json: mqtt.ca_file is given but --mqtt is not mqtts://: the "
           "connection would not be encrypted"},
          {true, "ca.pem", ""}}) {
        o.mqtt = BrokerAddress{"b", 8883, tls};
        c.mqtt.caFile = ca;
        EXPECT_EQ(CheckAgainstOptions(o, c).toStdString(), error);
    }
}

} // namespace
