#include "pxlib_support.h"

namespace qv::test {

void PxTable::onError(pxdoc_t*, int, const char* msg, void* data) {
  auto* self = static_cast<PxTable*>(data);
  self->errors_ += msg;
  self->errors_ += "\n";
}

PxTable::PxTable(const std::string& path, const std::string& mbPath) {
  doc_ = PX_new3(&PxTable::onError, nullptr, nullptr, nullptr, this);
  if (!doc_) return;
  opened_ = PX_open_file(doc_, path.c_str()) == 0;
  if (!opened_ || mbPath.empty()) return;
  mb_ = std::fopen(mbPath.c_str(), "rb");
  if (!mb_) return;
  pxblob_t* blob = PX_new_blob(doc_);
  blob->mb_stream = px_stream_new_file(doc_, pxfFileRead, 0, mb_);
  blob->read = px_mb_read;
  blob->seek = px_mb_seek;
  blob->tell = px_mb_tell;
}

PxTable::~PxTable() {
  if (!doc_) return;
  if (doc_->px_blob) {
    if (doc_->px_blob->mb_stream) doc_->free(doc_, doc_->px_blob->mb_stream);
    doc_->free(doc_, doc_->px_blob);
    doc_->px_blob = nullptr;
  }
  if (mb_) std::fclose(mb_);
  if (opened_) PX_close(doc_);
  PX_delete(doc_);
}

bool PxTable::record(int recno, std::vector<char>& buffer) {
  buffer.assign(static_cast<size_t>(PX_get_recordsize(doc_)), 0);
  return PX_get_record(doc_, recno, buffer.data()) != nullptr;
}

}  // namespace qv::test
