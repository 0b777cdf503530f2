#include "platform/cabinet/BlockEncoder.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>

namespace korvane::cab {

namespace {

size_t threadCount(size_t jobs) {
  size_t cores = std::max(1u, std::thread::hardware_concurrency());
  return std::min(cores, jobs);
}

}  // namespace

EncodeResult BlockEncoder::run(MsZipEncoder& encoder, const BlockJob& job, Bytes& output) {
  try {
    if (type_ == tcompTYPE_NONE) {
      output.assign(job.data.begin(), job.data.end());
      return EncodeResult::Ok;
    }
    return encoder.encode(job.history, job.data, output) ? EncodeResult::Ok : EncodeResult::Failed;
  } catch (const std::bad_alloc&) {
    return EncodeResult::OutOfMemory;
  }
}

EncodeResult BlockEncoder::encode(std::span<const BlockJob> jobs, std::vector<Bytes>& outputs) {
  if (outputs.size() < jobs.size()) outputs.resize(jobs.size());
  size_t threads = type_ == tcompTYPE_NONE ? 1 : threadCount(jobs.size());
  while (encoders_.size() < threads) encoders_.push_back(std::make_unique<MsZipEncoder>());

  std::atomic<size_t> next{0};
  std::atomic<int> worst{static_cast<int>(EncodeResult::Ok)};
  auto work = [&](MsZipEncoder& encoder) {
    for (size_t i = next++; i < jobs.size(); i = next++) {
      EncodeResult result = run(encoder, jobs[i], outputs[i]);
      if (result != EncodeResult::Ok) worst = static_cast<int>(result);
    }
  };
  std::vector<std::thread> helpers;
  helpers.reserve(threads);
  for (size_t t = 1; t < threads; ++t) {
    try {
      helpers.emplace_back(work, std::ref(*encoders_[t]));
    } catch (const std::system_error&) {
      break;  // fewer threads: the others take the remaining blocks
    }
  }
  work(*encoders_.front());
  for (std::thread& helper : helpers) helper.join();
  return static_cast<EncodeResult>(worst.load());
}

}  // namespace korvane::cab
