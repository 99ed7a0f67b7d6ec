// Mail slots belong to one user: scopes by name, servers that take nothing from
// other users, clients that send nothing to another user's socket. The tests
// that involve another user switch a forked child to "nobody" and act as an
// attacker would: straight on the socket address, without the library.
#include <gtest/gtest.h>

#include <grp.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
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
class ScopeVariable
{
public:
    explicit ScopeVariable(const char* value)
    {
        if (const char* old = std::getenv(kScopeVariable))
            m_old = old, m_hadOld = true;
        setenv(kScopeVariable, value, 1);
    }
    ~ScopeVariable()
    {
        if (m_hadOld)
            setenv(kScopeVariable, m_old.c_str(), 1);
        else
            unsetenv(kScopeVariable);
    }

private:
    std::string m_old;
    bool m_hadOld = false;
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
    const bool sent = sendto(fd, text.data(), text.size(), 0,
                             reinterpret_cast<const sockaddr*>(&to.address), to.length) ==
                      static_cast<ssize_t>(text.size());
    close(fd);
    return sent;
}

// A datagram that claims to come from root; the kernel must refuse it (EPERM).
bool SendClaimingRoot(const SocketAddress& to, const std::string& text)
{
    const int fd = socket(AF_UNIX, SOCK_DGRAM, 0);
    iovec part{const_cast<char*>(text.data()), text.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred))] = {};
    msghdr header{};
    header.msg_name = const_cast<sockaddr_un*>(&to.address);
    header.msg_namelen = to.length;
    header.msg_iov = &part;
    header.msg_iovlen = 1;
    header.msg_control = control;
    header.msg_controllen = sizeof(control);
    cmsghdr* credentials = CMSG_FIRSTHDR(&header);
    credentials->cmsg_level = SOL_SOCKET;
    credentials->cmsg_type = SCM_CREDENTIALS;
    credentials->cmsg_len = CMSG_LEN(sizeof(ucred));
    const ucred root{getpid(), 0, 0};
    std::memcpy(CMSG_DATA(credentials), &root, sizeof(root));
    const bool refused = sendmsg(fd, &header, 0) < 0 && errno == EPERM;
    close(fd);
    return refused;
}

// Runs body in a child switched to kOtherUser; body's result is its exit status.
template <class Body> pid_t ForkAsOtherUser(Body body)
{
    const pid_t pid = fork();
    if (pid == 0)
    {
        const bool switched = setgroups(0, nullptr) == 0 &&
                              setresgid(kOtherUser, kOtherUser, kOtherUser) == 0 &&
                              setresuid(kOtherUser, kOtherUser, kOtherUser) == 0;
        _exit(switched ? body() : kChildSetupFailed);
    }
    return pid;
}

// The child's exit status; -1 when it did not exit normally.
int WaitChild(pid_t pid)
{
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
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
    ASSERT_TRUE(machineServer != kNullHandle && machineClient != kNullHandle && userClient != kNullHandle);
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

// The other user's process sends to the server's socket address directly, once
// as itself and once claiming to be root; it cannot reach the slot by name.
TEST(PosixMailSlotScope, AServerTakesNothingThatAnotherUserSendsToItsAddress)
{
    SKIP_UNLESS_ROOT();
    const std::string name = SlotName(".", "foreign");
    const Handle server = MailSlotCreate(name.c_str(), 0);
    ASSERT_NE(server, kNullHandle);
    const SocketAddress address = BoundAddress("foreign");
    ASSERT_NE(address.length, 0u);
    const int attack = WaitChild(ForkAsOtherUser([&] {
        const bool byName = MailSlotOpen(name.c_str()) != kNullHandle;
        return (RawSend(address, "foreign") ? 0 : 1) | (SendClaimingRoot(address, "forged") ? 0 : 2) |
               (byName ? 4 : 0);
    }));
    EXPECT_EQ(attack, 0);   // the datagram reached the socket, the forgery did not
    EXPECT_EQ(Waiting(server), std::make_pair(kMailSlotNoMessage, 0u));
    EXPECT_EQ(ErrorOf([&] { return Receive(server, 64) != "<failed>"; }), Error::WouldBlock);

    const Handle client = MailSlotOpen(name.c_str());
    ASSERT_TRUE(Send(client, "own"));
    EXPECT_EQ(Waiting(server), std::make_pair(3u, 1u));
    EXPECT_EQ(Receive(server, 64), "own");
    EXPECT_TRUE(ObjectClose(client) && ObjectClose(server));
}

// The same sender reaches a machine-wide slot, by address and by name.
TEST(PosixMailSlotScope, AMachineWideServerTakesEveryUser)
{
    SKIP_UNLESS_ROOT();
    ScopeVariable machine("machine");
    const std::string name = SlotName(".", "shared");
    const Handle server = MailSlotCreate(name.c_str(), 0);
    ASSERT_NE(server, kNullHandle);
    const SocketAddress address = BoundAddress("shared");
    ASSERT_NE(address.length, 0u);
    const int sender = WaitChild(ForkAsOtherUser([&] {
        const Handle client = MailSlotOpen(name.c_str());
        return (RawSend(address, "by address") ? 0 : 1) | (Send(client, "by name") ? 0 : 2);
    }));
    EXPECT_EQ(sender, 0);
    EXPECT_EQ(Waiting(server), std::make_pair(10u, 2u));
    EXPECT_EQ(Receive(server, 64), "by address");
    EXPECT_EQ(Receive(server, 64), "by name");
    EXPECT_TRUE(ObjectClose(server));
}

// Another user binds the address this user's slot has, before this user serves
// it. A client of the name is refused, a broadcast is lost, and the squatter's
// socket, which takes what reaches it, sees only a probe sent after both.
TEST(PosixMailSlotScope, AClientSendsNothingToAnotherUsersSocketOnItsAddress)
{
    SKIP_UNLESS_ROOT();
    const std::string name = SlotName(".", "squatted");
    const Handle once = MailSlotCreate(name.c_str(), 0);   // learns the address
    const SocketAddress address = BoundAddress("squatted");
    ASSERT_TRUE(once != kNullHandle && address.length != 0 && ObjectClose(once));
    int ready[2], sent[2];
    ASSERT_TRUE(pipe(ready) == 0 && pipe(sent) == 0);
    const pid_t squatter = ForkAsOtherUser([&] {
        const int fd = socket(AF_UNIX, SOCK_DGRAM, 0);
        const timeval wait{kChildWaitSeconds, 0};
        char byte = 0, first[64] = {};
        if (bind(fd, reinterpret_cast<const sockaddr*>(&address.address), address.length) != 0 ||
            setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof(wait)) != 0 || write(ready[1], "r", 1) != 1 ||
            read(sent[0], &byte, 1) != 1)
            return 1;
        const ssize_t got = recv(fd, first, sizeof(first), 0);
        return got > 0 && std::string(first, got) == "probe" ? 0 : 2;
    });
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);

    EXPECT_EQ(ErrorOf([&] { return MailSlotOpen(name.c_str()); }), Error::AccessDenied);
    const Handle broadcast = MailSlotOpen(SlotName("*", "squatted").c_str());
    ASSERT_NE(broadcast, kNullHandle);
    EXPECT_TRUE(Send(broadcast, "secret"));   // sent and lost
    EXPECT_TRUE(RawSend(address, "probe"));
    ASSERT_EQ(write(sent[1], "s", 1), 1);
    EXPECT_EQ(WaitChild(squatter), 0);

    // Once this user serves the name, the same client reaches it.
    const Handle server = MailSlotCreate(name.c_str(), 0);
    ASSERT_NE(server, kNullHandle);
    EXPECT_TRUE(Send(broadcast, "after"));
    EXPECT_EQ(Receive(server, 64), "after");
    EXPECT_TRUE(ObjectClose(broadcast) && ObjectClose(server));
    for (int fd : {ready[0], ready[1], sent[0], sent[1]})
        close(fd);
}
