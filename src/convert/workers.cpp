#include "convert/workers.h"

#include <algorithm>
#include <exception>
#include <string>
#include <system_error>
#include <thread>

Workers::Workers(const FontData& data, int index, Face* first, unsigned most)
    : data_(data), index_(index) {
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const unsigned count = std::min({cores, kMaxWorkers, most == 0 ? kMaxWorkers : most});
  own_.resize(count);
  faces_.assign(count, nullptr);
  failed_.assign(count, 0);
  faces_[0] = first;
}

Workers::~Workers() = default;

Face* Workers::faceOf(std::size_t w) {
  if (faces_[w] == nullptr && failed_[w] == 0) {
    std::unique_ptr<Face> face(new Face);
    std::string ignored;  // the other workers do its share
    if (face->openGlyphs(data_, index_, &ignored)) {
      own_[w] = std::move(face);
      faces_[w] = own_[w].get();
    } else {
      failed_[w] = 1;
    }
  }
  return faces_[w];
}

void Workers::run(std::size_t count, const std::function<void(Face*, std::size_t)>& task) {
  count = std::max<std::size_t>(1, std::min(count, faces_.size()));
  std::vector<std::exception_ptr> thrown(count);
  const auto work = [&](std::size_t w) {
    try {
      Face* face = faceOf(w);
      if (face != nullptr) {
        task(face, w);
      }
    } catch (...) {
      thrown[w] = std::current_exception();
    }
  };
  std::vector<std::thread> threads;
  threads.reserve(count);
  for (std::size_t w = 1; w < count; ++w) {
    try {
      threads.emplace_back(work, w);
    } catch (const std::system_error&) {
      break;  // no thread to be had (a limit): the others do its share
    }
  }
  work(0);
  for (std::thread& thread : threads) {
    thread.join();
  }
  for (const std::exception_ptr& e : thrown) {
    if (e) {
      std::rethrow_exception(e);
    }
  }
}
