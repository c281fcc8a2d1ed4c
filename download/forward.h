#pragma once

// Forward declarations of the download engine's types.
namespace mevra::download {
class DownloadQueue;
class LinkSource;
class SongDownloadJob;
class SpeedMeter;
class TaskList;
class TransferWorker;
enum class NamingScheme;
enum class RowStatus;
struct JobResult;
struct LinkAnswer;
struct SongTask;
struct TransferProgress;
}  // namespace mevra::download
