// varnix-gpssim as a program, and the position tool run against it.
#include <fcntl.h>
#include <limits.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdio.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "drive.h"
#include "support/program.h"
#include "support/temp_root.h"
#include "support/wait.h"

namespace varnix {
namespace {

// A program run as a child, its standard output and error collected.
class Program {
 public:
  explicit Program(const std::vector<std::string>& args) {
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) return;
    std::vector<std::string> command =
        test::ProgramCommand(args[0], std::vector<std::string>(args.begin() + 1, args.end()));
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], STDOUT_FILENO);
      dup2(err[1], STDERR_FILENO);
      test::ExecCommand(command);
    }
    close(out[1]);
    close(err[1]);
    out_ = out[0];
    err_ = err[0];
  }
  ~Program() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) close(out_);
    if (err_ >= 0) close(err_);
  }
  void Signal(int signal) const { kill(pid_, signal); }
  // Whether it has ended (it is not reaped here).
  bool Ended() const {
    siginfo_t info = {};
    return waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid_;
  }
  // What the program has written to standard error so far.
  const std::string& ErrorsSoFar() {
    char buffer[4096];
    ssize_t n;
    fcntl(err_, F_SETFL, O_NONBLOCK);
    while ((n = read(err_, buffer, sizeof buffer)) > 0) errors.append(buffer, static_cast<size_t>(n));
    return errors;
  }
  // Waits for the exit; the exit status, or -1 when it did not exit normally
  // within the bound.
  int Finish(int timeoutMs = 10000) {
    int status = 0;
    bool reaped = test::WaitUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, timeoutMs);
    if (!reaped) return -1;
    pid_ = -1;
    output = Drain(out_);
    errors += Drain(err_);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string output, errors;

 private:
  static std::string Drain(int& fd) {
    std::string all;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0) all.append(buffer, static_cast<size_t>(n));
    close(fd);
    fd = -1;
    return all;
  }
  pid_t pid_ = -1;
  int out_ = -1, err_ = -1;
};

unsigned Xor(const std::string& text) {
  unsigned sum = 0;
  for (unsigned char ch : text) sum ^= ch;
  return sum;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator)) parts.push_back(part);
  if (!text.empty() && text.back() == separator) parts.push_back("");
  return parts;
}

// Cuts text into CR LF terminated sentences and checks each frame and
// checksum here, independently of the simulator's own code. Returns the
// bodies; fails the test on anything else.
std::vector<std::string> Sentences(const std::string& text) {
  std::vector<std::string> bodies;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find("\r\n", at);
    EXPECT_NE(end, std::string::npos) << "unterminated sentence at " << at;
    if (end == std::string::npos) break;
    std::string sentence = text.substr(at, end - at);
    at = end + 2;
    EXPECT_GE(sentence.size(), 4u);
    if (sentence.size() < 4) continue;
    EXPECT_EQ(sentence[0], '$') << sentence;
    EXPECT_EQ(sentence[sentence.size() - 3], '*') << sentence;
    std::string body = sentence.substr(1, sentence.size() - 4);
    char expected[3];
    snprintf(expected, sizeof expected, "%02X", Xor(body));
    EXPECT_EQ(sentence.substr(sentence.size() - 2), expected) << sentence;
    bodies.push_back(body);
  }
  return bodies;
}

// "ddmm.mmmm" and a hemisphere as signed degrees.
double Degrees(const std::string& value, const std::string& hemisphere, int degreeDigits) {
  double degrees = std::stod(value.substr(0, static_cast<size_t>(degreeDigits)));
  double minutes = std::stod(value.substr(static_cast<size_t>(degreeDigits)));
  double result = degrees + minutes / 60.0;
  return hemisphere == "S" || hemisphere == "W" ? -result : result;
}

// Seconds since 1970 of an RMC body's time and date, in centiseconds.
long long RmcCentiseconds(const std::string& body) {
  std::vector<std::string> f = Split(body, ',');
  struct tm utc = {};
  utc.tm_hour = std::stoi(f[1].substr(0, 2));
  utc.tm_min = std::stoi(f[1].substr(2, 2));
  utc.tm_sec = std::stoi(f[1].substr(4, 2));
  utc.tm_mday = std::stoi(f[9].substr(0, 2));
  utc.tm_mon = std::stoi(f[9].substr(2, 2)) - 1;
  utc.tm_year = 100 + std::stoi(f[9].substr(4, 2));
  return static_cast<long long>(timegm(&utc)) * 100 + std::stoi(f[1].substr(7, 2));
}

struct GpsSim : ::testing::Test {
  std::string Feed() const { return root("/var/run/gpsfeed"); }
  bool FeedIsFifo() const {
    struct stat info;
    return lstat(Feed().c_str(), &info) == 0 && S_ISFIFO(info.st_mode);
  }
  // A reading end that never blocks; the test reads or only measures.
  int OpenReader() {
    EXPECT_TRUE(test::WaitUntil([&] { return FeedIsFifo(); })) << "no FIFO";
    reader = open(Feed().c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    return reader;
  }
  static int Pending(int fd) {
    int n = -1;
    ioctl(fd, FIONREAD, &n);
    return n;
  }
  static std::string ReadPending(int fd) {
    std::string bytes(static_cast<size_t>(Pending(fd)), '\0');
    ssize_t n = read(fd, &bytes[0], bytes.size());
    bytes.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return bytes;
  }
  void TearDown() override {
    if (reader >= 0) close(reader);
  }

  test::TempRoot root;
  int reader = -1;
};

TEST_F(GpsSim, HelpTellsWhatItDoes) {
  Program help({"varnix-gpssim", "--help"});
  ASSERT_EQ(help.Finish(), 0);
  for (const char* word : {"--rate", "default 1", "LOGFILE", "/var/run/gpsfeed", "VARNIX_ROOT", "RMC", "GGA",
                           "full", "dropped", "SIGINT", "SIGTERM", "removes the FIFO"})
    EXPECT_NE(help.output.find(word), std::string::npos) << word;
  EXPECT_FALSE(FeedIsFifo());

  for (std::vector<std::string> bad : {std::vector<std::string>{"varnix-gpssim", "--rate", "0"},
                                       {"varnix-gpssim", "--rate", "fast"},
                                       {"varnix-gpssim", "--bogus"}}) {
    Program program(bad);
    EXPECT_EQ(program.Finish(), 2) << bad[1];
  }
}

TEST_F(GpsSim, SimulatedDriveSentencesParseAndTheirChecksumsHold) {
  Program sim({"varnix-gpssim", "--rate", "200"});
  int fd = OpenReader();
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(test::WaitUntil([&] { return Pending(fd) >= 3000; }));
  std::vector<std::string> bodies = Sentences(ReadPending(fd));
  ASSERT_GE(bodies.size(), 10u);
  ASSERT_EQ(bodies.size() % 2, 0u);  // whole epochs only
  sim::TBounds box = sim::DriveBounds();
  long long previous = 0;
  for (size_t i = 0; i < bodies.size(); i += 2) {
    std::vector<std::string> rmc = Split(bodies[i], ',');
    std::vector<std::string> gga = Split(bodies[i + 1], ',');
    ASSERT_EQ(rmc.size(), 13u) << bodies[i];
    ASSERT_EQ(gga.size(), 15u) << bodies[i + 1];
    EXPECT_EQ(rmc[0], "GPRMC");
    EXPECT_EQ(gga[0], "GPGGA");
    EXPECT_EQ(rmc[2], "A");
    EXPECT_EQ(rmc[1], gga[1]);  // one epoch, one time
    EXPECT_EQ(rmc[3], gga[2]);
    EXPECT_EQ(rmc[5], gga[4]);
    double latitude = Degrees(rmc[3], rmc[4], 2);
    double longitude = Degrees(rmc[5], rmc[6], 3);
    EXPECT_GE(latitude, box.south - 1e-4);
    EXPECT_LE(latitude, box.north + 1e-4);
    EXPECT_GE(longitude, box.west - 1e-4);
    EXPECT_LE(longitude, box.east + 1e-4);
    EXPECT_EQ(std::stod(rmc[7]), sim::KDriveSpeedKnots);
    EXPECT_EQ(gga[6], "1");
    long long stamp = RmcCentiseconds(bodies[i]);
    EXPECT_GE(stamp, previous);
    previous = stamp;
  }
  sim.Signal(SIGTERM);
  EXPECT_EQ(sim.Finish(), 0);
}

TEST_F(GpsSim, StopsCleanlyOnSignalsAndRemovesTheFifoItCreated) {
  for (int signal : {SIGINT, SIGTERM}) {
    Program sim({"varnix-gpssim"});
    ASSERT_TRUE(test::WaitUntil([&] { return FeedIsFifo(); }));
    sim.Signal(signal);
    EXPECT_EQ(sim.Finish(), 0) << strsignal(signal);  // at 1 Hz the signal ends the wait at once
    EXPECT_FALSE(FeedIsFifo()) << strsignal(signal);
    EXPECT_NE(sim.errors.find("stopped"), std::string::npos);
  }
}

TEST_F(GpsSim, KeepsAFifoItDidNotCreateAndRefusesAnythingElse) {
  ASSERT_EQ(mkfifo(Feed().c_str(), 0600), 0);
  Program sim({"varnix-gpssim", "--rate", "50"});
  int fd = OpenReader();
  ASSERT_TRUE(test::WaitUntil([&] { return Pending(fd) > 0; }));
  sim.Signal(SIGTERM);
  EXPECT_EQ(sim.Finish(), 0);
  EXPECT_TRUE(FeedIsFifo());

  unlink(Feed().c_str());
  root.WriteFile("/var/run/gpsfeed", "not a pipe");
  Program refused({"varnix-gpssim"});
  EXPECT_EQ(refused.Finish(), 1);
  EXPECT_NE(refused.errors.find("not a FIFO"), std::string::npos) << refused.errors;
  EXPECT_EQ(root.ReadFile("/var/run/gpsfeed"), "not a pipe");
}

// Nobody reads: the pipe fills up, the simulator drops whole epochs and
// keeps running; once the pipe is drained, whole fresh epochs follow.
TEST_F(GpsSim, DropsWholeEpochsWhileThePipeIsFull) {
  Program sim({"varnix-gpssim", "--rate", "1000"});
  int fd = OpenReader();
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(test::WaitUntil([&] { return sim.ErrorsSoFar().find("the pipe is full") != std::string::npos; }))
      << sim.errors;
  EXPECT_GT(Pending(fd), fcntl(fd, F_GETPIPE_SZ) - PIPE_BUF);

  std::string backlog;
  while (Pending(fd) > 0) backlog += ReadPending(fd);
  std::vector<std::string> stale = Sentences(backlog);
  EXPECT_EQ(stale.size() % 2, 0u);
  ASSERT_TRUE(test::WaitUntil([&] { return Pending(fd) > 0; }));
  std::string fresh = ReadPending(fd);
  EXPECT_EQ(fresh.rfind("$GPRMC,", 0), 0u) << fresh.substr(0, 20);
  Sentences(fresh);

  sim.Signal(SIGINT);
  EXPECT_EQ(sim.Finish(), 0);
  EXPECT_EQ(sim.errors.find("stopped (0 epochs dropped"), std::string::npos) << sim.errors;
}

TEST_F(GpsSim, ReplaysALogFileEpochByEpochInALoop) {
  std::string first = "$GPRMC,081836,A,3751.65,S,14507.36,E,000.0,360.0,130998,011.3,E*62\n"
                      "$GPGSV,1,1,01,01,40,083,46*4F\n";
  std::string second = "$GPRMC,081837,A,3751.65,S,14507.36,E,000.0,360.0,130998,011.3,E*63\r\n"
                        "$GPGGA,081837,3751.65,S,14507.36,E,1,05,1.5,280.2,M,-34.0,M,,*73\r\n\n";
  root.WriteFile("/mnt/drive.nmea", first + second);
  auto Crlf = [](std::string text) {
    std::string out;
    for (const std::string& line : Split(text, '\n')) {
      std::string trimmed = line;
      while (!trimmed.empty() && trimmed.back() == '\r') trimmed.pop_back();
      if (!trimmed.empty()) out += trimmed + "\r\n";
    }
    return out;
  };
  Program sim({"varnix-gpssim", "--rate", "200", root("/mnt/drive.nmea")});
  int fd = OpenReader();
  std::string expected = Crlf(first) + Crlf(second) + Crlf(first) + Crlf(second);
  ASSERT_TRUE(test::WaitUntil([&] { return Pending(fd) >= static_cast<int>(expected.size()); }));
  EXPECT_EQ(ReadPending(fd).substr(0, expected.size()), expected);
  sim.Signal(SIGTERM);
  EXPECT_EQ(sim.Finish(), 0);

  Program missing({"varnix-gpssim", root("/mnt/none.nmea")});
  EXPECT_EQ(missing.Finish(), 1);
  EXPECT_FALSE(FeedIsFifo());
}

// The two programs together: the tool drains what the simulator wrote
// before it started and prints one whole epoch stamped after its start.
TEST_F(GpsSim, PositionToolPrintsOneWholeFreshChunk) {
  Program sim({"varnix-gpssim", "--rate", "10"});
  int fd = OpenReader();
  ASSERT_TRUE(test::WaitUntil([&] { return Pending(fd) >= 300; }));  // a backlog of two epochs or more
  struct timeval now;
  gettimeofday(&now, nullptr);
  long long started = static_cast<long long>(now.tv_sec) * 100 + now.tv_usec / 10000;

  Program tool({"varnix-position"});
  ASSERT_EQ(tool.Finish(), 0);
  ASSERT_FALSE(tool.output.empty());
  EXPECT_LE(tool.output.size(), 1024u);
  std::vector<std::string> bodies = Sentences(tool.output);
  ASSERT_FALSE(bodies.empty());
  EXPECT_EQ(bodies.size() % 2, 0u);
  EXPECT_EQ(bodies[0].rfind("GPRMC,", 0), 0u);
  EXPECT_GE(RmcCentiseconds(bodies[0]), started) << "printed a stale epoch: " << bodies[0];

  sim.Signal(SIGTERM);
  EXPECT_EQ(sim.Finish(), 0);
}

// The feed's writer is killed (its FIFO stays behind) and comes back: the
// position tool, started while no writer was there, waits for it and then
// prints a fresh chunk.
TEST_F(GpsSim, PositionToolWaitsForAKilledWriterToComeBack) {
  {
    Program first({"varnix-gpssim", "--rate", "10"});
    ASSERT_TRUE(test::WaitUntil([&] { return FeedIsFifo(); }));
    first.Signal(SIGKILL);
    EXPECT_EQ(first.Finish(), -1);
  }
  ASSERT_TRUE(FeedIsFifo()) << "a killed writer leaves its FIFO";

  Program tool({"varnix-position"});
  EXPECT_FALSE(test::WaitUntil([&] { return tool.Ended(); }, 300)) << "the tool did not wait for a writer";
  Program again({"varnix-gpssim", "--rate", "10"});
  ASSERT_EQ(tool.Finish(), 0) << tool.errors;
  std::vector<std::string> bodies = Sentences(tool.output);
  ASSERT_FALSE(bodies.empty());
  EXPECT_EQ(bodies[0].rfind("GPRMC,", 0), 0u);
  again.Signal(SIGTERM);
  EXPECT_EQ(again.Finish(), 0);
}

}  // namespace
}  // namespace varnix
