#include "tags/mp4/TMP4Atom.h"

#include "platform/Text.h"

namespace velmaro::tags {

namespace {

// Copies count bytes into target; false (and the stream at its end) when
// the stream holds fewer. Checked before allocating, so a hostile size
// never reserves more memory than the file has bytes.
// A payload too long for the budget is skipped and target left empty.
bool CopyBytes(TStream& stream, std::uint64_t count, std::vector<std::uint8_t>& target, TTagBudget& budget) {
  if (count > static_cast<std::uint64_t>(stream.Remaining())) {
    stream.Seek(0, TSeekOrigin::End);
    return false;
  }
  if (budget.TakeBytes(count))
    target = stream.ReadBytes(static_cast<std::size_t>(count));
  else
    stream.Skip(static_cast<std::int64_t>(count));
  return true;
}

}  // namespace

TMP4AtomData& TMP4Atom::AddData() {
  TMP4AtomData& data = Datas.emplace_back();
  data.Index = static_cast<int>(Datas.size()) - 1;
  return data;
}

std::u16string TMP4Atom::GetAsText() const {
  if (Datas.empty()) return {};
  const TMP4AtomData& data = Datas.front();
  if (data.DataType == TMP4AtomData::TypeUtf8) return data.GetAsText();
  std::uint64_t value = 0;
  if (!data.GetAsInteger(value)) return {};
  return platform::ToU16(std::to_string(value));
}

std::uint16_t TMP4Atom::GetAsInteger16() const { return Datas.empty() ? 0 : Datas.front().GetAsInteger16(); }

bool TMP4Atom::GetAsInteger48(std::uint32_t& lowDWord, std::uint16_t& hiWord, std::uint64_t& value) const {
  if (Datas.empty()) {
    lowDWord = 0;
    hiWord = 0;
    value = 0;
    return false;
  }
  return Datas.front().GetAsInteger48(lowDWord, hiWord, value);
}

void TMP4Atom::Read(TStream& stream, TTagBudget& budget) {
  const std::int64_t start = stream.Position();
  Size = stream.ReadBE32();
  stream.ReadExact(ID.data(), ID.size());
  const std::int64_t end = start + Size;
  // Every pass reads at least a sub-atom header, so the loop moves on; the
  // end of the stream bounds an item that claims more than the file holds.
  while (stream.Position() < end && stream.Position() < stream.Size()) {
    const std::int64_t subStart = stream.Position();
    const std::uint32_t subSize = stream.ReadBE32();
    TAtomName subName{};
    stream.ReadExact(subName.data(), subName.size());
    const bool isMean = AtomNameEquals(subName, u"mean");
    if ((isMean || AtomNameEquals(subName, u"name")) && subSize > 8) {
      if (!CopyBytes(stream, subSize - 8, isMean ? mean.Data : name.Data, budget)) return;
    } else if (AtomNameEquals(subName, u"data") && budget.TakeItem()) {
      stream.SeekTo(subStart);
      ReadData(stream, AddData(), budget);
    } else {
      // Taken as an unsigned 32-bit count: a size below 8 jumps far past
      // the item and so ends it.
      stream.Skip(static_cast<std::uint32_t>(subSize - 8));
    }
  }
}

// The stream stands at the header of a sub-atom already known to be "data".
void TMP4Atom::ReadData(TStream& stream, TMP4AtomData& data, TTagBudget& budget) {
  const std::uint32_t size = stream.ReadBE32();
  stream.Skip(4);  // the name
  data.DataType = stream.ReadBE32();
  data.Reserved = stream.ReadLE32();
  if (size > 16) CopyBytes(stream, size - 16, data.Data, budget);
}

}  // namespace velmaro::tags
