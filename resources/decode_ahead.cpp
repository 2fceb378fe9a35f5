#include "resources/decode_ahead.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "resources/file_table.h"

namespace qh {

namespace {
// More workers than this would only wait on each other: the start-up loads a few dozen
// pictures, and the main thread wants the cores too.
constexpr unsigned kMaxWorkers = 4;

struct Job {
  DecodeAheadRequest request;
  // The table's bytes of the request's files, when it held them at the start.
  bool fileInTable = false, otherwiseInTable = false;
  std::string fileBytes, otherwiseBytes;

  enum State { Waiting, Running, Done } state = Waiting;
  // Written by the worker that runs the job, read by the main thread once it is Done.
  std::string decodedFile;   // the file whose bytes were decoded; empty when none was
  std::string decodedBytes;  // exactly the bytes given to the decoder
  DecodedPicture picture;
  bool ok = false;
};

struct Pool {
  std::mutex mutex;
  std::condition_variable jobDone;
  std::vector<DecodeAheadRequest> queued;
  std::vector<Job> jobs;  // not resized while workers run
  size_t next = 0;
  bool stopping = false;
  std::vector<std::thread> workers;
  DecodeAheadCounts counts;

  ~Pool() { Finish(); }

  void Finish() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      stopping = true;
    }
    for (std::thread& worker : workers) worker.join();
    std::vector<std::thread>().swap(workers);
    std::vector<Job>().swap(jobs);
    std::vector<DecodeAheadRequest>().swap(queued);
    next = 0;
    stopping = false;
  }
};

Pool pool;

// The file's bytes as LoadFile would have them: the table's copy, or the disk's.
bool ReadFor(const std::string& name, bool inTable, const std::string& tableBytes, std::string* bytes) {
  if (inTable) {
    *bytes = tableBytes;
    return true;
  }
  return ReadDataFile(name.c_str(), bytes);
}

void Run(Job& job) {
  std::string bytes;
  const std::string* file = &job.request.file;
  bool alphaPlane = job.request.alphaPlane;
  if (!ReadFor(job.request.file, job.fileInTable, job.fileBytes, &bytes)) {
    if (job.request.otherwise.empty() ||
        !ReadFor(job.request.otherwise, job.otherwiseInTable, job.otherwiseBytes, &bytes)) {
      return;  // missing: the loader finds that out itself
    }
    file = &job.request.otherwise;
    alphaPlane = false;
  }
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
  if (alphaPlane) bytes.resize(AlphaPlaneSplit(data, bytes.size()));
  // Anything but JPEG goes through SDL, which belongs to the main thread.
  if (!IsJpegStream(data, bytes.size())) return;
  job.ok = DecodePicture(data, bytes.size(), &job.picture);
  if (!job.ok) job.picture = DecodedPicture{};
  job.decodedFile = *file;
  job.decodedBytes = std::move(bytes);
}

void Work() {
  std::unique_lock<std::mutex> lock(pool.mutex);
  for (;;) {
    while (pool.next < pool.jobs.size() && pool.jobs[pool.next].state != Job::Waiting) ++pool.next;
    if (pool.stopping || pool.next == pool.jobs.size()) return;
    Job& job = pool.jobs[pool.next++];
    job.state = Job::Running;
    lock.unlock();
    try {
      Run(job);
    } catch (...) {
      // Out of memory, most likely: the loader decodes the file itself and meets its own fate.
      job.ok = false;
    }
    lock.lock();
    job.state = Job::Done;
    if (job.ok) ++pool.counts.decoded;
    pool.jobDone.notify_all();
  }
}
}  // namespace

void QueueDecodeAhead(const DecodeAheadRequest& request) {
  if (!pool.workers.empty() || request.file.empty()) return;
  for (const DecodeAheadRequest& queued : pool.queued) {
    if (queued.file == request.file) return;
  }
  pool.queued.push_back(request);
}

void StartDecodeAhead() {
  if (!pool.workers.empty() || pool.queued.empty()) return;
  pool.jobs.resize(pool.queued.size());
  for (size_t i = 0; i < pool.queued.size(); ++i) {
    Job& job = pool.jobs[i];
    job.request = std::move(pool.queued[i]);
    if (const FileEntry* entry = FindFile(job.request.file.c_str())) {
      job.fileInTable = true;
      job.fileBytes.assign(reinterpret_cast<const char*>(entry->data), static_cast<size_t>(entry->size));
    }
    if (const FileEntry* entry = job.request.otherwise.empty() ? nullptr : FindFile(job.request.otherwise.c_str())) {
      job.otherwiseInTable = true;
      job.otherwiseBytes.assign(reinterpret_cast<const char*>(entry->data), static_cast<size_t>(entry->size));
    }
  }
  std::vector<DecodeAheadRequest>().swap(pool.queued);
  pool.counts = DecodeAheadCounts{};
  pool.counts.queued = static_cast<int32_t>(pool.jobs.size());
  pool.next = 0;
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const size_t count = std::min<size_t>(std::min(cores, kMaxWorkers), pool.jobs.size());
  try {
    for (size_t i = 0; i < count; ++i) pool.workers.emplace_back(Work);
  } catch (const std::system_error&) {
    // No thread to be had: what did start does the work; with none, the loader does it all.
  }
  if (pool.workers.empty()) std::vector<Job>().swap(pool.jobs);
}

bool TakeDecodedAhead(const char* file, const uint8_t* bytes, size_t size, DecodedPicture* out) {
  if (pool.jobs.empty() || file == nullptr) return false;
  std::unique_lock<std::mutex> lock(pool.mutex);
  Job* job = nullptr;
  for (Job& candidate : pool.jobs) {
    if (candidate.request.file == file || candidate.request.otherwise == file) {
      job = &candidate;
      break;
    }
  }
  if (job == nullptr) return false;
  if (job->state == Job::Waiting) {
    // Not begun: decoding it here costs no more than waiting for a worker to get to it.
    job->state = Job::Done;
    return false;
  }
  pool.jobDone.wait(lock, [job] { return job->state == Job::Done; });
  const bool same = job->ok && job->decodedFile == file && job->decodedBytes.size() == size &&
                    (size == 0 || std::memcmp(job->decodedBytes.data(), bytes, size) == 0);
  if (same) {
    *out = std::move(job->picture);
    ++pool.counts.taken;
  }
  // Handed out once: a second load of the file decodes it again, as before.
  job->ok = false;
  job->picture = DecodedPicture{};
  std::string().swap(job->decodedBytes);
  job->decodedFile.clear();
  return same;
}

void WaitForDecodeAhead() {
  std::unique_lock<std::mutex> lock(pool.mutex);
  pool.jobDone.wait(lock, [] {
    return std::all_of(pool.jobs.begin(), pool.jobs.end(), [](const Job& job) { return job.state == Job::Done; });
  });
}

void FinishDecodeAhead() { pool.Finish(); }

DecodeAheadCounts DecodeAheadStatistics() {
  std::lock_guard<std::mutex> lock(pool.mutex);
  return pool.counts;
}

}  // namespace qh
