#include "tests/support/local_http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace vexa::test {
namespace {

constexpr size_t kMaxRequestBytes = 16384;
constexpr int kRequestWaitMs = 5000;

// A socket bound to a free port of 127.0.0.1; its port in `port`.
int bindLoopback(int& port) {
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0) return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(socket);
        return -1;
    }
    port = ntohs(address.sin_port);
    return socket;
}

std::string headerValue(const std::string& head, const char* name) {
    size_t line = head.find("\r\n");
    while (line != std::string::npos && line + 2 < head.size()) {
        const size_t next = head.find("\r\n", line + 2);
        const std::string text = head.substr(line + 2, next - line - 2);
        const size_t colon = text.find(':');
        if (colon != std::string::npos && strncasecmp(text.c_str(), name, colon) == 0 && std::strlen(name) == colon)
            return text.substr(text.find_first_not_of(' ', colon + 1));
        line = next;
    }
    return {};
}

} // namespace

LocalHttpServer::LocalHttpServer(std::string body, int status) : body_(std::move(body)), status_(status) {
    listener_ = bindLoopback(port_);
    if (listener_ < 0 || listen(listener_, 8) != 0 || pipe2(stopPipe_, O_CLOEXEC) != 0) return;
    thread_ = std::thread([this] { serve(); });
}

LocalHttpServer::~LocalHttpServer() {
    if (stopPipe_[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = write(stopPipe_[1], &byte, 1);
    }
    if (thread_.joinable()) thread_.join();
    for (int fd : {listener_, stopPipe_[0], stopPipe_[1]})
        if (fd >= 0) close(fd);
}

std::string LocalHttpServer::base() const { return "http://127.0.0.1:" + std::to_string(port_); }

std::vector<LocalHttpServer::Request> LocalHttpServer::requests() const {
    std::lock_guard guard(lock_);
    return requests_;
}

// The port is set by the binding, after the members' own initialisers.
RefusingPort::RefusingPort() { socket_ = bindLoopback(port_); }

RefusingPort::~RefusingPort() {
    if (socket_ >= 0) close(socket_);
}

std::string RefusingPort::base() const { return "http://127.0.0.1:" + std::to_string(port_); }

void LocalHttpServer::serve() {
    for (;;) {
        pollfd watched[2] = {{listener_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (poll(watched, 2, -1) < 0) return;
        if (watched[1].revents) return;
        const int connection = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) continue;
        answer(connection);
        close(connection);
    }
}

void LocalHttpServer::answer(int connection) {
    std::string head;
    char buffer[1024];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < kMaxRequestBytes) {
        pollfd readable{connection, POLLIN, 0};
        if (poll(&readable, 1, kRequestWaitMs) <= 0) return;
        const ssize_t got = read(connection, buffer, sizeof buffer);
        if (got <= 0) return;
        head.append(buffer, size_t(got));
    }
    const size_t headEnd = head.find("\r\n\r\n");
    if (headEnd == std::string::npos) return;
    std::string body = head.substr(headEnd + 4);
    head.resize(headEnd + 2);
    const size_t declared = std::strtoull(headerValue(head, "Content-Length").c_str(), nullptr, 10);
    const size_t wanted = std::min(declared, LocalHttpServer::kMaxBodyBytes);
    while (body.size() < wanted) {
        pollfd readable{connection, POLLIN, 0};
        if (poll(&readable, 1, kRequestWaitMs) <= 0) return;
        const ssize_t got = read(connection, buffer, sizeof buffer);
        if (got <= 0) return;
        body.append(buffer, size_t(got));
    }
    body.resize(std::min(body.size(), wanted));
    const size_t pathStart = head.find(' ') + 1;
    {
        std::lock_guard guard(lock_);
        requests_.push_back({head.substr(pathStart, head.find(' ', pathStart) - pathStart),
                             headerValue(head, "User-Agent"), head.substr(0, pathStart - 1),
                             headerValue(head, "Content-Type"), headerValue(head, "Authorization"), body});
    }
    const std::string reply = "HTTP/1.1 " + std::to_string(status_) + " Answer\r\nContent-Type: text/plain\r\n" +
                              "Content-Length: " + std::to_string(body_.size()) + "\r\nConnection: close\r\n\r\n" + body_;
    size_t sent = 0;
    while (sent < reply.size()) {
        const ssize_t put = write(connection, reply.data() + sent, reply.size() - sent);
        if (put <= 0) return;
        sent += size_t(put);
    }
}

} // namespace vexa::test
