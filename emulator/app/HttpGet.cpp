#include "emulator/app/HttpGet.h"

#include "platform/ClientSocket.h"

#include <algorithm>
#include <array>
#include <utility>

namespace {

// Host and path of an address: everything up to the first "://" is dropped, the host
// ends at the first "/", the path is the rest. False when there is no "/".
bool SplitAddress(const std::string& address, std::string& host, std::string& path)
{
    std::string rest = address;
    const std::size_t scheme = rest.find("://");
    if (scheme != std::string::npos) rest.erase(0, scheme + 3);
    const std::size_t slash = rest.find('/');
    if (slash == std::string::npos) return false;
    host = rest.substr(0, slash);
    path = rest.substr(slash);
    return true;
}

std::chrono::milliseconds Remaining(std::chrono::steady_clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return std::max(left, std::chrono::milliseconds(0));
}

} // namespace

std::string BuildHttpGetRequest(const std::string& host, const std::string& path)
{
    return "GET " + path + " HTTP/1.0\r\n"
           "Host: " + host + ":80\r\n"
           "Accept: text/plain, text/html;level=1\r\n"
           "User-Agent: MyBrowser/1.0\r\n"
           "Connection: close\r\n"
           "\r\n";
}

HttpGetRequest::HttpGetRequest(std::string address, const platform::Event& cancel, HttpGetOptions options)
    : m_address(std::move(address)), m_cancel(cancel), m_options(options)
{
}

HttpGetResult HttpGetRequest::Fail(HttpGetStatus status)
{
    HttpGetResult result;
    result.success = false;
    result.status = status;
    result.response = m_received;
    return result;
}

HttpGetResult HttpGetRequest::Perform()
{
    using platform::ClientSocket;
    m_received.clear();
    const auto deadline = std::chrono::steady_clock::now() + m_options.timeLimit;

    std::string host;
    std::string path;
    if (!SplitAddress(m_address, host, path)) return Fail(HttpGetStatus::BadAddress);

    ClientSocket socket;
    switch (socket.Connect(host, m_options.port, Remaining(deadline))) {
    case ClientSocket::ConnectResult::Connected:
        break;
    case ClientSocket::ConnectResult::ResolveFailed:
        return Fail(HttpGetStatus::ResolveFailed);
    case ClientSocket::ConnectResult::ConnectFailed:
        return Fail(HttpGetStatus::ConnectFailed);
    }
    if (!socket.SetNonBlocking()) return Fail(HttpGetStatus::SocketFailed);

    const std::string request = BuildHttpGetRequest(host, path);
    socket.Send(request.data(), request.size());  // a short request into an empty buffer: one call suffices

    std::array<char, kReceiveChunkBytes> buffer{};
    if (!m_cancel.Wait(kCancelPollInterval)) {
        while (true) {
            if (Remaining(deadline).count() == 0) return Fail(HttpGetStatus::TimedOut);
            const auto readiness = socket.WaitReadable(kSelectTimeout);
            if (readiness == ClientSocket::Readiness::Failed) return Fail(HttpGetStatus::SocketFailed);
            if (readiness == ClientSocket::Readiness::Readable) {
                const ClientSocket::Received got = socket.Receive(buffer.data(), buffer.size());
                if (got.count > 0) {
                    const std::size_t room = m_options.maxReplyBytes - m_received.size();
                    const auto count = static_cast<std::size_t>(got.count);
                    m_received.append(buffer.data(), std::min(count, room));
                    if (count > room) return Fail(HttpGetStatus::TooLarge);
                } else if (!got.wouldBlock) {
                    break;  // closed by the server, or the connection failed
                }
            }
            if (m_cancel.Wait(kCancelPollInterval)) break;
        }
    }
    socket.Close();

    HttpGetResult result;
    result.success = true;
    result.response = std::move(m_received);
    result.status = HttpGetStatus::Ok;
    return result;
}

HttpGetResult HttpGet(const std::string& address, const platform::Event& cancel, const HttpGetOptions& options)
{
    HttpGetRequest request(address, cancel, options);
    return request.Perform();
}
