#pragma once

#include "platform/Event.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

struct HttpGetOptions {
    std::uint16_t port = 80;  // the server's port; the Host header names :80 whatever it is
    // The whole request, connecting included, ends after this time even when the server
    // keeps the connection open.
    std::chrono::milliseconds timeLimit = std::chrono::seconds(10);
    // A reply that grows beyond this is not an answer: the request stops and fails.
    std::size_t maxReplyBytes = 64 * 1024;
};

enum class HttpGetStatus { Ok, BadAddress, ResolveFailed, ConnectFailed, SocketFailed, TimedOut, TooLarge };

struct HttpGetResult {
    bool success = false;
    std::string response;  // every byte received, status line and headers included
    HttpGetStatus status = HttpGetStatus::Ok;
};

// One HTTP/1.0 GET: the address, the caller's cancel event and the bytes received.
class HttpGetRequest {
public:
    HttpGetRequest(std::string address, const platform::Event& cancel, HttpGetOptions options = {});

    HttpGetResult Perform();

    static constexpr std::size_t kReceiveChunkBytes = 2048;
    static constexpr std::chrono::milliseconds kCancelPollInterval{100};
    static constexpr std::chrono::milliseconds kSelectTimeout{10};

private:
    HttpGetResult Fail(HttpGetStatus status);

    std::string m_address;
    const platform::Event& m_cancel;
    HttpGetOptions m_options;
    std::string m_received;
};

// The request lines for `host` and `path`, each ended by CR LF, then an empty line.
std::string BuildHttpGetRequest(const std::string& host, const std::string& path);

// Performs one GET of `address` ("http://host/path"). Setting `cancel` ends the receive
// loop early; what arrived until then is the response.
HttpGetResult HttpGet(const std::string& address, const platform::Event& cancel, const HttpGetOptions& options = {});
