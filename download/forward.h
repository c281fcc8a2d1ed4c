#pragma once

// Forward declarations of the download engine's types.
namespace mevra::download {
class DownloadArchive;
class DownloadQueue;
class RateLimiter;
class LinkSource;
class SongDownloadJob;
class SongSaver;
class SpaceAccount;
class SpeedMeter;
class TaskList;
class TransferWorker;
enum class BatchEnd;
enum class ExistingFilePolicy;
enum class NamingScheme;
enum class RowStatus;
enum class SaveStep;
enum class NameRules;
struct DownloadPolicies;
struct JobResult;
struct LinkAnswer;
struct SongTask;
struct TransferProgress;
}  // namespace mevra::download
