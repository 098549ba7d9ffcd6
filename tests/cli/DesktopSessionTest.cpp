// `orvik` and `orvik PROJECT` as the desktop start: one running copy, later
// starts hand it their project and end.
#include "model/Movie.h"
#include "support/RunOrvik.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace orvik {

namespace {

// The program started in the background, its standard error in a file.
class Background {
public:
    explicit Background(const std::vector<std::string>& args) {
        errFile_ = test::InHome("first-stderr.txt");
        std::string program = std::string(ORVIK_BIN_DIR) + "/orvik";
        std::vector<std::string> all{program};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, errFile_.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Background() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    bool Started() const { return pid_ > 0; }
    std::string Err() const { return test::ReadFile(errFile_); }
    bool ErrHas(const std::string& text) const { return Err().find(text) != std::string::npos; }

    // Sends `sig` and waits for the end: the exit status, 128 + the signal
    // that ended it, or -1 when it did not end in time.
    int Stop(int sig) {
        kill(pid_, sig);
        int status = -1;
        bool ended = test::WaitFor([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, 60000);
        if (!ended)
            return -1;
        pid_ = -1;
        if (WIFSIGNALED(status))
            return 128 + WTERMSIG(status);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    std::string errFile_;
};

std::string SaveEmptyMovie(const std::string& name) {
    RefPtr<Movie> movie = new Movie;
    movie->SetViewRange(10, 300);
    std::string path = test::InHome(name);
    EXPECT_TRUE(movie->SaveToFile(path)) << movie->LastError();
    return path;
}

} // namespace

TEST(DesktopSession, ASecondStartHandsItsProjectToTheFirstAndEnds) {
    std::string project = SaveEmptyMovie("handed.orv");
    Background first({});
    ASSERT_TRUE(first.Started());
    ASSERT_TRUE(test::WaitFor([&] { return first.ErrHas("the movie is a new one"); }, 60000))
        << first.Err();

    test::ProgramResult second = test::RunOrvik({project});
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_NE(second.err.find("handed " + project + " to the running"), std::string::npos)
        << second.err;
    EXPECT_TRUE(test::WaitFor([&] { return first.ErrHas("the movie is " + project); }, 60000))
        << first.Err();

    // A start without a project only finds the running copy.
    test::ProgramResult third = test::RunOrvik({});
    EXPECT_EQ(third.status, 0) << third.err;
    EXPECT_NE(third.err.find("already running"), std::string::npos) << third.err;

    // Ctrl+C ends through the normal exit: the socket is gone and the next
    // start sees no crash.
    EXPECT_EQ(first.Stop(SIGINT), 0) << first.Err();
    EXPECT_EQ(test::RunOrvik({"settings", "Preferences/Reset"}).out, "0\n");
    Background again({});
    ASSERT_TRUE(again.Started());
    ASSERT_TRUE(test::WaitFor([&] { return again.ErrHas("the movie is a new one"); }, 60000))
        << again.Err();
    EXPECT_EQ(test::RunOrvik({"settings", "Preferences/Reset"}).out, "1\n"); // running
    EXPECT_EQ(again.Stop(SIGTERM), 0) << again.Err();
    std::string log = test::ReadFile(test::InHome("state/Message.log"));
    EXPECT_NE(log, "");
    EXPECT_EQ(log.find("did not end normally"), std::string::npos);
}

TEST(DesktopSession, AKilledRunIsSeenByTheNextStart) {
    {
        Background first({});
        ASSERT_TRUE(first.Started());
        ASSERT_TRUE(test::WaitFor([&] { return first.ErrHas("the movie is a new one"); }, 60000))
            << first.Err();
        EXPECT_EQ(first.Stop(SIGKILL), 128 + SIGKILL);
    }
    // The socket the killed run left behind does not block the next start.
    Background next({});
    ASSERT_TRUE(next.Started());
    ASSERT_TRUE(test::WaitFor([&] { return next.ErrHas("the movie is a new one"); }, 60000))
        << next.Err();
    EXPECT_EQ(next.Stop(SIGTERM), 0) << next.Err();
    std::string log = test::ReadFile(test::InHome("state/Message.log"));
    EXPECT_NE(log.find("did not end normally"), std::string::npos) << log;
    EXPECT_NE(log.find("__reset"), std::string::npos) << log;
}

TEST(DesktopSession, ADamagedStartProjectEndsWithItsNameAndIsLeftAlone) {
    std::string path = test::InHome("damaged.orv");
    std::string bytes = "not a movie at all";
    {
        FILE* f = fopen(path.c_str(), "wb");
        ASSERT_TRUE(f);
        fwrite(bytes.data(), 1, bytes.size(), f);
        fclose(f);
    }
    test::ProgramResult r = test::RunOrvik({path});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(path), std::string::npos) << r.err;
    EXPECT_EQ(test::ReadFile(path), bytes);
}

} // namespace orvik
