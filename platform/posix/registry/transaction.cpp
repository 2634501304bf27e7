// Registry transactions: CreateTransaction, CommitTransaction, RollbackTransaction
// and the keys opened and created in one.
#include "platform/posix/registry/transaction.h"

#include <algorithm>

#include "korvex/posix/transactions.h"
#include "platform/posix/sync/kernel_object.h"
#include "platform/posix/registry/path.h"

namespace korvex {
namespace posix {
namespace registry {
namespace {

// The handle's object: closing the handle without a commit rolls back, even
// while keys opened in the transaction are still open.
class TransactionObject : public KernelObject {
public:
  explicit TransactionObject(std::shared_ptr<RegistryTransaction> transaction) : transaction(std::move(transaction)) {}
  ~TransactionObject() override;
  bool Signalled() const override { return false; }

  std::shared_ptr<RegistryTransaction> transaction;
};

TransactionObject::~TransactionObject() { transaction->Rollback(); }

std::shared_ptr<RegistryTransaction> FindTransaction(HANDLE handle) {
  std::lock_guard<std::mutex> lock(LayerLock());
  std::shared_ptr<TransactionObject> object = FindHandleOf<TransactionObject>(handle);
  return object ? object->transaction : nullptr;
}

BOOL Ended(HANDLE handle, bool commit) {
  std::shared_ptr<RegistryTransaction> transaction = FindTransaction(handle);
  LONG rc = !transaction ? ERROR_INVALID_HANDLE : commit ? transaction->Commit() : transaction->Rollback();
  if (rc == ERROR_SUCCESS) return TRUE;
  SetLastError(static_cast<DWORD>(rc));
  return FALSE;
}

LONG OpenTransacted(HKEY key, LPCSTR subKey, bool create, REGSAM access, PHKEY result, LPDWORD disposition,
                    HANDLE handle, PVOID extended) {
  if (extended) return ERROR_INVALID_PARAMETER;
  std::shared_ptr<RegistryTransaction> transaction = FindTransaction(handle);
  if (!transaction) return ERROR_INVALID_HANDLE;
  return OpenKey(key, subKey, create, access, result, disposition, std::move(transaction));
}

}  // namespace

RegistryTransaction::~RegistryTransaction() { Finish(false); }

LONG RegistryTransaction::Join(const std::shared_ptr<hive::Hive>& store, hive::HiveSession** session) {
  if (!active_) return ERROR_TRANSACTION_NOT_ACTIVE;
  for (Part& part : parts_) {
    if (part.hive != store) continue;
    if (RolledBack(part)) return ERROR_TRANSACTION_NOT_ACTIVE;
    *session = part.session.get();
    return ERROR_SUCCESS;
  }
  Part part;
  part.hive = store;
  part.session = std::make_unique<hive::HiveSession>(*store);
  LONG rc = part.session->status();
  if (rc != ERROR_SUCCESS) return rc;
  part.transaction = std::make_unique<hive::Transaction>(
      *part.session, part.session->readOnly() ? hive::Transaction::kRead : hive::Transaction::kWrite);
  rc = part.transaction->status();
  if (rc != ERROR_SUCCESS) return rc;
  parts_.push_back(std::move(part));
  *session = parts_.back().session.get();
  return ERROR_SUCCESS;
}

LONG RegistryTransaction::Finish(bool commit) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (!active_) return ERROR_TRANSACTION_NOT_ACTIVE;
  active_ = false;
  // Each hive's write lock is held since its first use. A private hive's log
  // then commits without waiting for anyone, a shared hive's journal only once
  // its readers are gone: so the shared hive commits first, and a reader that
  // held it off leaves nothing committed anywhere.
  std::stable_partition(parts_.begin(), parts_.end(), [](const Part& part) { return part.hive->shared(); });
  LONG result = ERROR_SUCCESS;
  for (Part& part : parts_) {
    // A hive that fails to commit, and those after it, roll back.
    if (commit && result == ERROR_SUCCESS)
      result = RolledBack(part) ? ERROR_TRANSACTION_NOT_ACTIVE : part.transaction->Commit();
    part.transaction.reset();  // wakes the hive's waiters
    part.session.reset();
  }
  parts_.clear();
  return result;
}

}  // namespace registry
}  // namespace posix
}  // namespace korvex

using namespace korvex::posix::registry;

HANDLE CreateTransaction(LPSECURITY_ATTRIBUTES, LPGUID UOW, DWORD, DWORD, DWORD, DWORD Timeout, LPWSTR) {
  if (UOW || (Timeout != 0 && Timeout != INFINITE)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  return korvex::posix::AddHandle(std::make_shared<TransactionObject>(std::make_shared<RegistryTransaction>()));
}

BOOL CommitTransaction(HANDLE TransactionHandle) { return Ended(TransactionHandle, true); }

BOOL RollbackTransaction(HANDLE TransactionHandle) { return Ended(TransactionHandle, false); }

LSTATUS RegCreateKeyTransactedA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR, DWORD dwOptions, REGSAM samDesired,
                                const LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition,
                                HANDLE hTransaction, PVOID pExtendedParemeter) {
  if (dwOptions != REG_OPTION_NON_VOLATILE) return ERROR_INVALID_PARAMETER;
  return OpenTransacted(hKey, lpSubKey, true, samDesired, phkResult, lpdwDisposition, hTransaction, pExtendedParemeter);
}

LSTATUS RegOpenKeyTransactedA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult,
                              HANDLE hTransaction, PVOID pExtendedParameter) {
  if (phkResult) *phkResult = nullptr;
  return OpenTransacted(hKey, lpSubKey, false, samDesired, phkResult, nullptr, hTransaction, pExtendedParameter);
}
