#include "platform/sys/SingleInstance.h"

#include "support/TestHome.h"

#include <gtest/gtest.h>

#include <mutex>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace orvik {

TEST(SingleInstance, ASecondStartHandsOverItsFileAndEnds) {
    std::mutex lock;
    std::vector<std::string> received;
    SingleInstance first;
    ASSERT_EQ(first.Acquire(test::Home(), "", [&](const std::string& m) {
        std::lock_guard<std::mutex> g(lock);
        received.push_back(m);
    }),
              SingleInstance::first);

    SingleInstance second;
    EXPECT_EQ(second.Acquire(test::Home(), "/movies/holiday.orv", nullptr),
              SingleInstance::another);
    SingleInstance third;
    EXPECT_EQ(third.Acquire(test::Home(), "", nullptr), SingleInstance::another);

    ASSERT_TRUE(test::WaitFor([&] {
        std::lock_guard<std::mutex> g(lock);
        return received.size() == 2;
    }));
    EXPECT_EQ(received[0], "/movies/holiday.orv");
    EXPECT_EQ(received[1], ""); // only brings the first one to the front

    first.Release();
    // Once the first has gone, the next start is the first again.
    SingleInstance next;
    EXPECT_EQ(next.Acquire(test::Home(), "", nullptr), SingleInstance::first);
}

TEST(SingleInstance, AStaleSocketFromACrashDoesNotBlockAStart) {
    // A bound socket nobody listens on, as a crashed run leaves it.
    std::string path = SingleInstance::SocketPathIn(test::Home());
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    close(fd);

    SingleInstance s;
    std::string error;
    EXPECT_EQ(s.Acquire(test::Home(), "", nullptr, &error), SingleInstance::first) << error;
}

} // namespace orvik
