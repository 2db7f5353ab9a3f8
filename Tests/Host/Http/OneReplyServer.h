#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace HttpTest
{
/** A listening socket on a free loopback port; the port is put in OutPort. */
inline int ListenOnLoopback(int Backlog, int& OutPort)
{
    const int Listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in Address{};
    Address.sin_family = AF_INET;
    Address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t Length = sizeof(Address);
    ::bind(Listener, reinterpret_cast<sockaddr*>(&Address), sizeof(Address));
    ::listen(Listener, Backlog);
    ::getsockname(Listener, reinterpret_cast<sockaddr*>(&Address), &Length);
    OutPort = ntohs(Address.sin_port);
    return Listener;
}

/**
 * A raw loopback server that answers only the first request of each connection, keeping it alive. Then it
 * either closes the connection right after that answer, as a server whose idle time-out fires does, or reads
 * the next request and closes without answering, as a server whose time-out races a new request does.
 */
class FOneReplyServer
{
public:
    enum class EAfterReply
    {
        CloseAtOnce,
        DropNextRequest,
    };

    explicit FOneReplyServer(EAfterReply InAfterReply) : AfterReply(InAfterReply)
    {
        Listener = ListenOnLoopback(8, Port);
        Thread = std::thread([this] { Serve(); });
    }
    ~FOneReplyServer()
    {
        {
            std::lock_guard Guard(Mutex);
            bStopping = true;
            if (Current >= 0)
            {
                ::shutdown(Current, SHUT_RDWR);
            }
        }
        ::shutdown(Listener, SHUT_RDWR);
        Thread.join();
        ::close(Listener);
    }
    FOneReplyServer(const FOneReplyServer&) = delete;
    FOneReplyServer& operator=(const FOneReplyServer&) = delete;

    std::string Url(const char* Path) const { return "http://127.0.0.1:" + std::to_string(Port) + Path; }

    /** How many times a request line ("POST /path") reached the server, answered or not. */
    int Arrivals(const std::string& RequestLine) const
    {
        std::lock_guard Guard(Mutex);
        int Count = 0;
        for (const std::string& Each : Received)
        {
            Count += Each == RequestLine ? 1 : 0;
        }
        return Count;
    }
    int ClosedConnections() const { return Closed.load(); }

private:
    void Serve()
    {
        for (;;)
        {
            const int Connection = ::accept(Listener, nullptr, nullptr);
            if (Connection < 0)
            {
                return;
            }
            if (!Track(Connection))
            {
                ::close(Connection);
                return;
            }
            ServeConnection(Connection);
            Track(-1);
            ::close(Connection);
            ++Closed;
        }
    }

    /** Remembers the open connection so the destructor can end a blocking read; false when stopping. */
    bool Track(int Connection)
    {
        std::lock_guard Guard(Mutex);
        Current = Connection;
        return !bStopping;
    }

    void ServeConnection(int Connection)
    {
        std::string Pending;
        if (!ReadRequest(Connection, Pending))
        {
            return;
        }
        const char Answer[] = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nContent-Type: text/plain\r\n\r\nok";
        ::send(Connection, Answer, sizeof(Answer) - 1, MSG_NOSIGNAL);
        if (AfterReply == EAfterReply::DropNextRequest)
        {
            ReadRequest(Connection, Pending);
        }
    }

    /** Reads one whole request (head and Content-Length body) and records its request line. */
    bool ReadRequest(int Connection, std::string& Pending)
    {
        size_t HeadEnd = std::string::npos;
        while ((HeadEnd = Pending.find("\r\n\r\n")) == std::string::npos)
        {
            if (!ReadMore(Connection, Pending))
            {
                return false;
            }
        }
        const size_t Total = HeadEnd + 4 + ContentLength(Pending.substr(0, HeadEnd));
        while (Pending.size() < Total)
        {
            if (!ReadMore(Connection, Pending))
            {
                return false;
            }
        }
        const std::string Line = Pending.substr(0, Pending.find("\r\n"));
        {
            std::lock_guard Guard(Mutex);
            Received.push_back(Line.substr(0, Line.rfind(' ')));
        }
        Pending.erase(0, Total);
        return true;
    }

    static bool ReadMore(int Connection, std::string& Pending)
    {
        char Buffer[1024];
        const ssize_t Read = ::recv(Connection, Buffer, sizeof(Buffer), 0);
        if (Read <= 0)
        {
            return false;
        }
        Pending.append(Buffer, static_cast<size_t>(Read));
        return true;
    }

    static size_t ContentLength(const std::string& Head)
    {
        const char Name[] = "\r\nContent-Length:";
        const size_t Found = Head.find(Name);
        return Found == std::string::npos ? 0 : std::stoul(Head.substr(Found + sizeof(Name) - 1));
    }

    EAfterReply AfterReply;
    int Listener = -1;
    int Port = 0;
    std::thread Thread;
    std::atomic<int> Closed{0};
    mutable std::mutex Mutex;
    bool bStopping = false;
    int Current = -1;
    std::vector<std::string> Received;
};
} // namespace HttpTest
