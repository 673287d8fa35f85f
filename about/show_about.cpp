// mShowAbout: the About box, shown modally by the process's about host.
#include <memory>
#include <mutex>
#include <utility>

#include "nodrel/about.hpp"
#include "nodrel/matr.hpp"

namespace nodrel {

AboutHost::~AboutHost() = default;

namespace {
std::mutex host_mutex;
std::shared_ptr<AboutHost>& host_slot() {
  static std::shared_ptr<AboutHost> host;
  return host;
}
}  // namespace

void set_about_host(std::shared_ptr<AboutHost> host) {
  const std::lock_guard<std::mutex> lock(host_mutex);
  host_slot() = std::move(host);
}

AboutHost& about_host() {
  const std::lock_guard<std::mutex> lock(host_mutex);
  std::shared_ptr<AboutHost>& host = host_slot();
  if (!host) host = default_about_host();
  return *host;
}

void Matr::mShowAbout() {
  // The texts are composed afresh at every show, as the form loads each time.
  AboutHost& host = about_host();
  host.show(about_texts(), [&host] { about::StartSysInfo(host.services()); });
}

}  // namespace nodrel
