// Mail slots belong to one user: scopes by name, servers that take nothing from
// other users, clients that send nothing to another user's socket. The tests
// that involve another user switch a forked child to "nobody", which acts as an
// attacker would: on the socket address read from /proc/net/unix.
#include <gtest/gtest.h>

#include <grp.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "Platform/PlatformTestSupport.h"

using namespace ZRPlatform;
using namespace PlatformTest;

namespace
{
constexpr uid_t kOtherUser = 65534;       // nobody
constexpr int kChildSetupFailed = 100;
constexpr int kChildWaitSeconds = 10;     // bounds a child that waits for a datagram
constexpr char kScopeVariable[] = "ZR_MAILSLOT_SCOPE";

// Sets the scope variable for the life of the object.
struct ScopeVariable
{
    explicit ScopeVariable(const char* value) : old(std::getenv(kScopeVariable))
    {
        if (old != nullptr)
            kept = old;
        setenv(kScopeVariable, value, 1);
    }
    ~ScopeVariable() { old != nullptr ? setenv(kScopeVariable, kept.c_str(), 1) : unsetenv(kScopeVariable); }
    const char* old;
    std::string kept;
};

struct SocketAddress
{
    sockaddr_un address{};
    socklen_t length = 0;
};

// The abstract address bound for a slot leaf of this process, read from
// /proc/net/unix as any user can read it; length 0 when none is listed.
SocketAddress BoundAddress(const std::string& leaf)
{
    const std::string suffix = "zrtest\\" + std::to_string(ProcessCurrentId()) + "\\" + leaf;
    std::ifstream table("/proc/net/unix");
    SocketAddress found;
    for (std::string line; std::getline(table, line);)
    {
        const std::size_t at = line.find(" @");
        if (at == std::string::npos || line.size() < suffix.size() ||
            line.compare(line.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        const std::string name = line.substr(at + 2);
        found.address.sun_family = AF_UNIX;
        std::memcpy(found.address.sun_path + 1, name.data(), name.size());
        found.length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    }
    return found;
}

bool RawSend(const SocketAddress& to, const std::string& text)
{
    const int fd = socket(AF_UNIX, SOCK_DGRAM, 0);
    const auto sent =
        sendto(fd, text.data(), text.size(), 0, reinterpret_cast<const sockaddr*>(&to.address), to.length);
    return close(fd), sent == static_cast<ssize_t>(text.size());
}

// Runs body in a child switched to kOtherUser; body's result is its exit status.
template <class Body> pid_t ForkAsOtherUser(Body body)
{
    const pid_t pid = fork();
    if (pid == 0)
        _exit(setgroups(0, nullptr) == 0 && setresgid(kOtherUser, kOtherUser, kOtherUser) == 0 &&
                      setresuid(kOtherUser, kOtherUser, kOtherUser) == 0
                  ? body()
                  : kChildSetupFailed);
    return pid;
}

// The child's exit status; -1 when it did not exit normally.
int WaitChild(pid_t pid)
{
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

#define SKIP_UNLESS_ROOT()                                                                         \
    if (geteuid() != 0)                                                                            \
    GTEST_SKIP() << "needs root to run a child process as another user (uid 65534)"
} // namespace

TEST(PosixMailSlotScope, UserAndMachineScopesDoNotSeeEachOther)
{
    const std::string name = SlotName(".", "scopes");
    const Handle userServer = MailSlotCreate(name.c_str(), 0);
    ASSERT_NE(userServer, kNullHandle);
    Handle machineServer = kNullHandle, machineClient = kNullHandle;
    {
        ScopeVariable machine("machine");
        EXPECT_EQ(ErrorOf([&] { return MailSlotOpen(name.c_str()); }), Error::NotFound);
        machineServer = MailSlotCreate(name.c_str(), 0);   // the same name, another slot
        machineClient = MailSlotOpen(name.c_str());
    }
    ScopeVariable user("user");   // named explicitly, the default scope
    const Handle userClient = MailSlotOpen(name.c_str());
    ASSERT_TRUE(machineServer != kNullHandle && machineClient != kNullHandle &&
                userClient != kNullHandle);
    EXPECT_TRUE(Send(machineClient, "machine") && Send(userClient, "user"));
    EXPECT_EQ(Waiting(userServer), std::make_pair(4u, 1u));
    EXPECT_EQ(Receive(userServer, 64), "user");
    EXPECT_EQ(Waiting(machineServer), std::make_pair(7u, 1u));
    EXPECT_EQ(Receive(machineServer, 64), "machine");

    // A broadcast with only the other scope served is sent and lost.
    const Handle broadcast = MailSlotOpen(SlotName("*", "scopes").c_str());
    EXPECT_TRUE(ObjectClose(userServer));
    EXPECT_TRUE(Send(broadcast, "lost"));
    EXPECT_EQ(Waiting(machineServer), std::make_pair(kMailSlotNoMessage, 0u));
    EXPECT_TRUE(ObjectClose(broadcast) && ObjectClose(userClient) && ObjectClose(machineClient) &&
                ObjectClose(machineServer));
}

// The other user's process sends straight to the socket addresses of two
// servers of this user, one per scope, and cannot reach the per-user slot by
// name. Only the machine-wide server takes its message.
TEST(PosixMailSlotScope, APerUserServerTakesNothingFromAnotherUser)
{
    SKIP_UNLESS_ROOT();
    const std::string name = SlotName(".", "own");
    const Handle server = MailSlotCreate(name.c_str(), 0);
    Handle shared = kNullHandle;
    {
        ScopeVariable machine("machine");
        shared = MailSlotCreate(SlotName(".", "shared").c_str(), 0);
    }
    const SocketAddress own = BoundAddress("own"), machineWide = BoundAddress("shared");
    ASSERT_TRUE(server != kNullHandle && shared != kNullHandle);
    ASSERT_TRUE(own.length != 0 && machineWide.length != 0);
    const int sender = WaitChild(ForkAsOtherUser([&] {
        const bool byName = MailSlotOpen(name.c_str()) != kNullHandle;
        return (RawSend(own, "foreign") ? 0 : 1) | (RawSend(machineWide, "foreign") ? 0 : 2) |
               (byName ? 4 : 0);
    }));
    EXPECT_EQ(sender, 0);   // both datagrams reached their sockets
    EXPECT_EQ(Waiting(server), std::make_pair(kMailSlotNoMessage, 0u));
    EXPECT_EQ(ErrorOf([&] { return Receive(server, 64) != "<failed>"; }), Error::WouldBlock);
    EXPECT_EQ(Waiting(shared), std::make_pair(7u, 1u));
    EXPECT_EQ(Receive(shared, 64), "foreign");

    const Handle client = MailSlotOpen(name.c_str());
    ASSERT_TRUE(Send(client, "own"));
    EXPECT_EQ(Waiting(server), std::make_pair(3u, 1u));
    EXPECT_EQ(Receive(server, 64), "own");
    EXPECT_TRUE(ObjectClose(client) && ObjectClose(server) && ObjectClose(shared));
}

// Another user binds the address this user's slot has, before this user serves
// it. A client of the name is refused, a broadcast is lost, and the squatter's
// socket, which takes what reaches it, sees first a probe sent after both.
TEST(PosixMailSlotScope, AClientSendsNothingToAnotherUsersSocketOnItsAddress)
{
    SKIP_UNLESS_ROOT();
    const std::string name = SlotName(".", "squatted");
    const Handle once = MailSlotCreate(name.c_str(), 0);   // learns the address
    const SocketAddress address = BoundAddress("squatted");
    ASSERT_TRUE(once != kNullHandle && address.length != 0 && ObjectClose(once));
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t squatter = ForkAsOtherUser([&] {
        const int fd = socket(AF_UNIX, SOCK_DGRAM, 0);
        const timeval wait{kChildWaitSeconds, 0};
        char first[64] = {};
        if (bind(fd, reinterpret_cast<const sockaddr*>(&address.address), address.length) != 0 ||
            setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof(wait)) != 0 || write(ready[1], "r", 1) != 1)
            return 1;
        const ssize_t got = recv(fd, first, sizeof(first), 0);
        return got > 0 && std::string(first, got) == "probe" ? 0 : 2;
    });
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    close(ready[0]), close(ready[1]);

    EXPECT_EQ(ErrorOf([&] { return MailSlotOpen(name.c_str()); }), Error::AccessDenied);
    const Handle broadcast = MailSlotOpen(SlotName("*", "squatted").c_str());
    ASSERT_NE(broadcast, kNullHandle);
    EXPECT_TRUE(Send(broadcast, "secret"));   // sent and lost
    EXPECT_TRUE(RawSend(address, "probe"));
    EXPECT_EQ(WaitChild(squatter), 0);

    // Once this user serves the name, the same client reaches it.
    const Handle server = MailSlotCreate(name.c_str(), 0);
    ASSERT_NE(server, kNullHandle);
    EXPECT_TRUE(Send(broadcast, "after"));
    EXPECT_EQ(Receive(server, 64), "after");
    EXPECT_TRUE(ObjectClose(broadcast) && ObjectClose(server));
}
