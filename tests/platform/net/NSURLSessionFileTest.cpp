// URL tasks and the files they read and write: an upload whose file read is stalled, a download
// whose file cannot take its bytes.
#include "SessionTestSupport.h"

#include "platform/base/NSDictionary.h"
#include "platform/base/Scope.h"

#include <csignal>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace nettest;
using dv::testing::ScriptedReply;

namespace {

TEST_F(SessionTest, CancellingAnUploadWhoseFileReadIsStalledEndsAtOnce)
{
    // A named pipe stands for a file that is slow to read (a network share, a disk that hangs):
    // the transfer's read waits for bytes that do not come.
    server.route("/upload", ScriptedReply { .body = "stored" });
    makeSession();
    auto path = m_home + "/slow-file";
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    int writer = ::open(path.c_str(), O_RDWR);
    ASSERT_GE(writer, 0);
    dv::ScopeExit closeWriter([&] {
        if (writer >= 0)
            ::close(writer);
    });
    ASSERT_EQ(::write(writer, "abcd", 4), 4);
    auto post = request("/upload");
    post->setHTTPMethod("POST"_ns);
    auto task = session->uploadTaskWithRequestFromFile(post, NSURL::fileURLWithPath(NSString::fromUTF8(path), false));
    task->resume();
    // Once the four bytes are taken the transport thread is inside the read, waiting for more.
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] {
        int unread = -1;
        return ::ioctl(writer, FIONREAD, &unread) == 0 && unread == 0;
    }));

    // Ending the task must not wait for the read (nor close the file under it).
    task->cancel();
    EXPECT_TRUE(delegate->waitComplete(5));
    ASSERT_TRUE(delegate->recorded().error);
    EXPECT_EQ(delegate->recorded().error->code(), NSURLErrorCancelled);

    // The read ends with the file; nothing more is reported.
    ::close(writer);
    writer = -1;
    dv::testing::runMainLoopUntil([] { return false; }, 0.1);
    EXPECT_EQ(delegate->recorded().completions, 1);
}

// Holds the size of files this process writes to `bytes` for its lifetime; a write past it fails
// (instead of stopping the process).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_previous);
        rlimit limited = m_previous;
        limited.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_previousHandler);
    }

private:
    rlimit m_previous {};
    void (*m_previousHandler)(int) = nullptr;
};

TEST_F(SessionTest, DownloadThatCannotBeWrittenFailsWhereverTheWriteFails)
{
    server.route("/small", ScriptedReply { .body = std::string(1000, 's'), .contentType = "application/octet-stream" });
    server.route("/large", ScriptedReply { .body = std::string(200000, 'l'), .contentType = "application/octet-stream" });
    makeSession();
    FileSizeLimit limit(100);

    // A small body waits in the file's buffer and fails only when the file is closed: the
    // download is not whole, and must not be handed over as if it were.
    session->downloadTaskWithRequest(request("/small"))->resume();
    ASSERT_TRUE(delegate->waitComplete());
    ASSERT_TRUE(delegate->recorded().error);
    EXPECT_EQ(delegate->recorded().error->code(), NSURLErrorCannotWriteToFile);
    EXPECT_TRUE(delegate->recorded().error->userInfo()->objectForKey(NSLocalizedFailureReasonErrorKey));
    EXPECT_EQ(delegate->callList().back(), "complete");
    EXPECT_TRUE(delegate->recorded().downloadedPath.empty());

    // A large one fails while it is written.
    delegate->forgetCompletions();
    session->downloadTaskWithRequest(request("/large"))->resume();
    ASSERT_TRUE(delegate->waitComplete());
    ASSERT_TRUE(delegate->recorded().error);
    EXPECT_EQ(delegate->recorded().error->code(), NSURLErrorCannotWriteToFile);
    EXPECT_TRUE(delegate->recorded().downloadedPath.empty());
}

} // namespace
