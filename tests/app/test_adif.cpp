// ADIF records and the contact log: encoding read back field by field, malformed
// text and contacts refused, the file kept whole.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/adif.h"
#include "app/contact_log.h"

namespace fs = std::filesystem;

namespace {

const AdifRecord kContact = {
    {"CALL", "DL1ABC"},     {"QSO_DATE", "20261211"}, {"TIME_ON", "174502"},
    {"FREQ", "14.071000"},  {"BAND", "20m"},          {"MODE", "PSK"},
    {"SUBMODE", "QPSK31"},  {"RST_SENT", "599"},      {"RST_RCVD", "579"},
    {"NAME", "Jürgen"},     {"COMMENT", "<EOR> in a comment: 73"},
};

std::vector<AdifRecord> parsed(const std::string& text) {
    std::vector<AdifRecord> records;
    std::string error;
    EXPECT_TRUE(adifParse(text, &records, &error)) << error << "\n" << text;
    return records;
}

std::string fileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

fs::path freshDirectory(const char* name) {
    const fs::path dir = fs::temp_directory_path() / (std::string("vorda-adif-") + name + "-" +
                                                      std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

TEST(Adif, RecordsReadBackFieldByFieldAndMalformedTextIsRefused) {
    // Byte lengths (the name's two-byte ü), markup inside a value, empty fields left out.
    AdifRecord withEmpty = kContact;
    withEmpty.push_back({"STATION_CALLSIGN", ""});
    const std::string record = adifRecord(withEmpty);
    EXPECT_NE(record.find("<NAME:7>Jürgen"), std::string::npos) << record;
    EXPECT_EQ(record.find("STATION_CALLSIGN"), std::string::npos);
    const std::string file = adifHeader("0.1.0", "20261211 174502") + record + record;
    EXPECT_EQ(parsed(file), (std::vector<AdifRecord>{kContact, kContact}));
    EXPECT_EQ(parsed("<call:4>G4XY<Eor>"), (std::vector<AdifRecord>{{{"CALL", "G4XY"}}}));
    EXPECT_EQ(parsed("<CALL:4:S>G4XY<EOR>"), (std::vector<AdifRecord>{{{"CALL", "G4XY"}}}));

    for (const char* bad : {"no header end <CALL:4>G4XY<EOR>", "<CALL:9>G4XY<EOR>",
                            "<CALL>G4XY<EOR>", "<CALL:x>G4XY<EOR>", "<CALL:4>G4XY",
                            "<CALL:4>G4XY<EOR><NAME:3"}) {
        std::vector<AdifRecord> records;
        std::string error;
        EXPECT_FALSE(adifParse(bad, &records, &error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

TEST(Adif, ContactsThatCannotBeLoggedAreToldWhy) {
    struct contact_case {
        const char* field;
        const char* value;
        const char* problem;  // "" when it may be logged
    } cases[] = {
        {"CALL", "DL1ABC/P", ""},
        {"CALL", "", "'' is not a call sign"},
        {"CALL", "DL1 ABC", "'DL1 ABC' is not a call sign"},
        {"CALL", "DL1ABCDEFGHIJK", "'DL1ABCDEFGHIJK' is not a call sign"},  // 14 characters
        {"CALL", "DL1ABCDEFGHIJ", ""},                                     // 13
        {"QSO_DATE", "20260231", "QSO_DATE is not a date YYYYMMDD"},
        {"QSO_DATE", "2026121", "QSO_DATE is not a date YYYYMMDD"},
        {"TIME_ON", "1745", ""},
        {"TIME_ON", "2460", "TIME_ON is not a time HHMM or HHMMSS"},
        {"FREQ", "", ""},  // no rig
        {"FREQ", "14.07x", "FREQ is not a frequency in MHz"},
    };
    for (const contact_case& c : cases) {
        AdifRecord contact = kContact;
        for (AdifField& f : contact) {
            if (f.name == c.field) f.value = c.value;
        }
        EXPECT_EQ(adifContactProblem(contact), c.problem) << c.field << " " << c.value;
    }
}

TEST(ContactLog, FileGetsOneHeaderAndWholeRecordsOnly) {
    const fs::path dir = freshDirectory("file");
    const fs::path log = dir / "vorda.adi";
    const std::string header = adifHeader("0.1.0", "20261211 174502");
    const std::string record = adifRecord(kContact);
    EXPECT_EQ(contactLogAppend(log, header, record), "");
    EXPECT_EQ(contactLogAppend(log, header, record), "");
    EXPECT_EQ(fileText(log), header + record + record);
    EXPECT_EQ(parsed(fileText(log)).size(), 2u);

    // Not a regular file: refused with a message, and a FIFO is not waited on.
    fs::create_directories(dir / "adi-dir");
    ASSERT_EQ(mkfifo((dir / "adi-fifo").c_str(), 0600), 0);
    for (const char* name : {"adi-dir", "adi-fifo"}) {
        EXPECT_EQ(contactLogAppend(dir / name, header, record),
                  "Cannot log to " + (dir / name).string() + ": not a regular file");
    }
    EXPECT_NE(contactLogAppend(dir / "missing" / "vorda.adi", header, record), "");

    // A full disk, as a file-size limit in a child: the message, and the file as it was.
    const uintmax_t before = fs::file_size(log);
    int messages[2];
    ASSERT_EQ(pipe(messages), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{before + 40, before + 40};
        setrlimit(RLIMIT_FSIZE, &limit);
        const std::string said = contactLogAppend(log, header, record);
        (void)!write(messages[1], said.data(), said.size());
        _exit(0);
    }
    close(messages[1]);
    std::string said;
    char block[256];
    for (ssize_t n; (n = read(messages[0], block, sizeof block)) > 0;) said.append(block, n);
    close(messages[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_EQ(said, "Cannot write to " + log.string() +
                        ": File too large; the contact is not logged");
    EXPECT_EQ(fs::file_size(log), before);
    fs::remove_all(dir);
}

// The datagram itself is read back by the black-box scenario's loopback listener.
TEST(ContactLog, LoggerAddressThatIsNoneIsToldAsSuch) {
    for (const char* bad : {"localhost", "localhost:", ":2237", "no.such.host.invalid:2237"}) {
        EXPECT_NE(contactLogSend(bad, adifRecord(kContact)), "") << bad;
    }
}

}  // namespace
