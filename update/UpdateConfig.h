// The configuration of the update-notice subsystem in one place: the two web
// host names, the TCP port, the page paths, the notice signer's public
// modulus, the accepted date window and the network time-outs. The program
// uses defaultUpdateConfig(); tests build their own (local hosts, a port of
// their listener, a key pair they made). Portable.
#pragma once

#include <string>

struct UpdateConfig {
  std::string firstHost;
  std::string secondHost;
  // 80 for the real site; tests point it at a port their listener holds. The
  // request text never names the port.
  unsigned short port = 80;

  std::string firstProbePage = "/lj.htm";
  std::string secondProbePage = "/cn/bfbj.htm";
  std::string updatePage = "/cn/sj.htm";        // fetched from the second host
  std::string upgradeInfoPage = "/cn/lxsj.htm";  // offered on the second host
  std::string proPage = "/pro";
  std::string encryptToolPage = "/jmtool.htm";

  // 512-bit RSA modulus of the notice signer: 128 upper-case hex digits.
  std::string modulusHex;
  // The public exponent, as the decimal text the check reads.
  std::string publicExponent = "65537";

  // A notice's date (YYYYMMDD) must lie strictly between these.
  int dateAfter = 20100301;
  int dateBefore = 21100225;

  // Bounds on a host that accepts and never answers, or never accepts.
  int connectTimeoutMs = 10000;
  int receiveTimeoutMs = 15000;
};

// The program's own values.
const UpdateConfig& defaultUpdateConfig();

// "http://" + host (+ "/cn" for the second host): the site base addresses.
std::string firstSiteBase(const UpdateConfig& c);
std::string secondSiteBase(const UpdateConfig& c);
// The page a valid notice offers: always on the second host.
std::string upgradeInfoUrl(const UpdateConfig& c);
