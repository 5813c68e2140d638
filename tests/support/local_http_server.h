// A small HTTP server on 127.0.0.1 for the tests of the program's HTTP
// client: it listens on a free port from construction, answers every
// request with one status and body, and records each request's method,
// path, agent, content type, authorization and body.
// Nothing leaves the machine.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vexa::test {

class LocalHttpServer {
public:
    struct Request {
        std::string path;
        std::string agent;
        std::string method;
        std::string contentType;
        std::string authorization;
        std::string body;  // up to kMaxBodyBytes of it
    };
    static constexpr size_t kMaxBodyBytes = 8 << 20;

    explicit LocalHttpServer(std::string body, int status = 200);
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    // "http://127.0.0.1:<port>".
    std::string base() const;
    std::vector<Request> requests() const;


private:
    void serve();
    void answer(int connection);

    std::string body_;
    int status_;
    int listener_ = -1;
    int port_ = 0;
    int stopPipe_[2] = {-1, -1};
    std::thread thread_;
    mutable std::mutex lock_;
    std::vector<Request> requests_;
};

// A port of 127.0.0.1 bound but never listened on, for as long as the
// object lives: a connection to it is refused at once.
class RefusingPort {
public:
    RefusingPort();
    ~RefusingPort();
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;
    std::string base() const;

private:
    int socket_ = -1;
    int port_ = 0;
};

} // namespace vexa::test
