// The program's update-notice configuration. The modulus is the public half
// of the notice signer's key; whoever publishes notices holds the private
// half, which is not part of this program. The key below was generated for
// this build and its private half not kept: a publisher replaces it with
// their own before notices can be made.
#include "UpdateConfig.h"

const UpdateConfig& defaultUpdateConfig() {
  static const UpdateConfig config = [] {
    UpdateConfig c;
    c.firstHost = "www.vidorra.com";
    c.secondHost = "www.vidorra.cn";
    c.modulusHex =
        "A71FE4C6B5FCA5A8762CCD538DBD629F43E134839B9094730EED3D9D23FE7998"
        "BA6C61E64F790B56B61B547DBD7FC68BBD4FACF8F2DB45378F842015FA42B541";
    return c;
  }();
  return config;
}

std::string firstSiteBase(const UpdateConfig& c) { return "http://" + c.firstHost; }
std::string secondSiteBase(const UpdateConfig& c) { return "http://" + c.secondHost + "/cn"; }
std::string upgradeInfoUrl(const UpdateConfig& c) {
  return "http://" + c.secondHost + c.upgradeInfoPage;
}
