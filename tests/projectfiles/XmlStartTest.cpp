// Xerces has one start per process: the library's reads and writes and the base services' read
// of their definitions run on many threads at once, and neither stops it under the other.

#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "Hvd/BaseStandIn.h"
#include "core/XmlStart.h"
#include "utils/XmlPlatform.h"
#include "utils/XmlSerializer.h"

namespace {

TEST(XmlStartTest, TheLibraryAndTheBaseServicesParseOnManyThreadsAtOnce) {
  constexpr int kThreads = 8, kRounds = 25;
  std::latch ready(kThreads);
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      ready.arrive_and_wait();
      if (!Hvd::StartXmlPlatform()) ++failures;
      for (int round = 0; round < kRounds; ++round) {
        if (t % 2 == 1) {
          if (!Hvd::StandInReadDefinitions(HVD_DEFINITIONS_FILE).loaded) ++failures;
          continue;
        }
        std::string bytes;
        const auto document = Hvd::Xml::ParseXmlBytes("<r><e a='" + std::to_string(round) + "'/></r>");
        if (!document || Hvd::Xml::SerializeDocument(document.get(), bytes) != Hvd::kSuccess ||
            bytes.find("a=\"" + std::to_string(round) + "\"") == std::string::npos) {
          ++failures;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures, 0);
}

}  // namespace
