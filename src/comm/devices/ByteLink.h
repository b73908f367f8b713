#pragma once
// One printer connection as a byte stream that the engine thread drives without ever waiting:
// a TCP connection (client, or a server the printer connects to), the FIFO pair or usblp
// descriptor of a USB printer, or a native USB printer's bulk pipes. Every link shows the engine
// a descriptor to poll, so a read waits in the engine loop's poll instead of on a thread.
#include <cstddef>
#include <string>

namespace posbench {

class ByteLink {
public:
    virtual ~ByteLink() = default;
    ByteLink(const ByteLink&) = delete;
    ByteLink& operator=(const ByteLink&) = delete;

    // Polls readable when Read has something to tell: bytes, the end of the printer's stream,
    // or (a server without a connection) a printer connecting. -1 when a watch would not help
    // (the engine then looks again on its bounded wait).
    virtual int ReadFd() const = 0;
    // Up to n bytes into area, without waiting: the count; 0 when nothing is there now; -1 when
    // the link has failed, with the error number in code, or 0 in code for the end of the
    // printer's stream.
    virtual long Read(char* area, size_t n, int& code) = 0;
    // As many of the n bytes as the link takes now, without waiting (0 when it takes none);
    // -1 with the error number in code.
    virtual long Write(const char* bytes, size_t n, int& code) = 0;
    // Polls writable when Write would take bytes again (-1 when there is none to poll).
    virtual int WriteFd() const = 0;
    // Closes the link; the failure text, or empty.
    virtual std::string Close() = 0;

    // A server link: the printer connects to it, and connects anew for each counted answer.
    virtual bool ServerMode() const { return false; }
    // Server links: takes a connection that is waiting now. 0 when there is one, EAGAIN when
    // none is waiting yet, else the error number.
    virtual int AcceptWaiting() { return 0; }
    // Server links: ends the printer's connection after a counted answer.
    virtual void DropConnection() {}

protected:
    ByteLink() = default;
};

}  // namespace posbench
