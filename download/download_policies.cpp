#include "download/download_policies.h"

namespace mevra::download {
namespace {

struct PolicyName {
  ExistingFilePolicy policy;
  const char* name;
};

constexpr PolicyName kPolicyNames[] = {
    {ExistingFilePolicy::kRename, "rename"},
    {ExistingFilePolicy::kSkip, "skip"},
    {ExistingFilePolicy::kOverwrite, "overwrite"},
};

}  // namespace

QString ExistingFilePolicyName(ExistingFilePolicy policy) {
  for (const PolicyName& entry : kPolicyNames) {
    if (entry.policy == policy) return QString::fromLatin1(entry.name);
  }
  return QString();
}

std::optional<ExistingFilePolicy> ParseExistingFilePolicy(const QString& text) {
  const QString name = text.trimmed();
  for (const PolicyName& entry : kPolicyNames) {
    if (name.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0) return entry.policy;
  }
  return std::nullopt;
}

}  // namespace mevra::download
