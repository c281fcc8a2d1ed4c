#pragma once

// Forward declarations of the download engine's types.
namespace mevra::download {
class DownloadArchive;
class DownloadQueue;
class RateLimiter;
class LinkSource;
class SongDownloadJob;
class SpeedMeter;
class TaskList;
class TransferWorker;
enum class BatchEnd;
enum class ExistingFilePolicy;
enum class NamingScheme;
enum class RowStatus;
struct DownloadPolicies;
struct JobResult;
struct LinkAnswer;
struct SongTask;
struct TransferProgress;
}  // namespace mevra::download
