#include "TempOrdner.h"

#include <gtest/gtest.h>

#include <cstdlib>

#ifndef AUSGANG_HILFE
#error AUSGANG_HILFE must name the helper program
#endif

namespace {

TEST(Programmende, DasProtokollSchreibtNochNachDenVariablen) {
  TempOrdner ordner;
  const std::string befehl = std::string(AUSGANG_HILFE) + " " + ordner.pfad().string();
  ASSERT_EQ(std::system(befehl.c_str()), 0);
  const std::string log = LeseDatei(ordner.pfad() / "tool.log");
  const auto start = log.find("Log-Start");
  const auto spaet = log.find("Ende eines spaeteren Globalen");
  const auto arbeiter = log.find("Zeile aus einem Arbeitsthread");
  ASSERT_NE(start, std::string::npos);
  ASSERT_NE(spaet, std::string::npos);
  // Queued lines are written by the log's own final drain, after "t_logfile" is gone.
  ASSERT_NE(arbeiter, std::string::npos) << log;
  EXPECT_LT(spaet, arbeiter);
}

}  // namespace
