// A 1 MiB firmware download through posbench-cli while posbench-printer fails in each way a
// printer can, on each medium: the link drops, the printer dies (kill -9), it goes silent, it
// stops reading. Whatever happens, the tool ends by itself in bounded time and never reports a
// flash as written (exit 0) unless the printer's flash holds exactly the file.
#include <chrono>
#include <future>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "integration/CliRig.h"
#include "support/PrinterBytes.h"

namespace posbench {
namespace {

using namespace std::chrono_literals;
using test::Medium;

struct Cell {
    Medium medium;
    std::string fault;
    // A printer gone silent, or one that stops reading (a flash has only one block in flight,
    // so nothing backs up), looks to the tool like one taking its time: on TCP and the pty only
    // --timeout ends that wait. The USB reader's idle answer after 3 s fails the block.
    bool NeedsTimeout() const {
        return medium != Medium::Fifo && (fault == "silent" || fault == "stall");
    }
};

struct Outcome {
    test::CliResult run;
    bool imageEqual = false;
};

constexpr int kFaultAt = 20000;  // bytes into the download: inside the first sector's blocks

Outcome RunCell(const Cell& cell, const std::string& firmware) {
    test::CliRig rig;
    const std::string flash = rig.dir / "flash.bin";
    rig.Start(cell.medium, {"--flash", flash, "--reset-ms", "300", "--fault",
                            cell.fault + "-after=" + std::to_string(kFaultAt)});
    std::vector<std::string> args;
    if (cell.NeedsTimeout()) args = {"--timeout", "4"};
    args.push_back(rig.dir.Write("fw.bin", firmware));
    test::CliRunOptions how;
    how.limit = 90s;
    Outcome outcome{rig.Run(args, how)};
    rig.Printer().Stop();
    outcome.imageEqual = test::ReadAll(flash).substr(0, firmware.size()) == firmware;
    return outcome;
}

TEST(FaultMatrix, FlashEndsByItselfAndNeverClaimsADifferingImage) {
    const std::string firmware = test::RandomBytes(1 << 20, 13);
    std::vector<Cell> cells;
    for (Medium medium : {Medium::Tcp, Medium::Pty, Medium::Fifo})
        for (const char* fault : {"drop", "kill", "silent", "stall"})
            cells.push_back({medium, fault});
    // The cells run side by side: each mostly waits, on its printer or on a timer.
    std::vector<std::future<Outcome>> running;
    for (const Cell& cell : cells)
        running.push_back(std::async(std::launch::async, RunCell, cell, firmware));
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const Outcome o = running[i].get();
        SCOPED_TRACE(std::string(test::NameOf(cells[i].medium)) + " " + cells[i].fault + "\n" +
                     o.run.out + o.run.err);
        EXPECT_NE(o.run.status, -1) << "did not end by itself";
        EXPECT_LT(o.run.took, 45s);
        EXPECT_EQ(o.run.status, o.imageEqual ? 0 : 1);
        EXPECT_EQ(o.run.status, 1) << "the fault strikes before the image is complete";
    }
}

}  // namespace
}  // namespace posbench
