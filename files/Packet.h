#pragma once

#include "files/LoadResult.h"

#include <cstdint>
#include <string>

namespace tolmar {

class ByteSink;
class ByteSource;
class ReadingTable;
class ReadingTableSnapshot;
class WorkProgress;

// The reading table as an XML data packet: one line, no line end.
//
//   <?xml version="1.0" standalone="yes"?>  <DATAPACKET Version="2.0">
//   <METADATA><FIELDS><FIELD attrname="No" fieldtype="i4"/>...</FIELDS>
//   <PARAMS/></METADATA><ROWDATA><ROW No="1" Time="14:05:07250" .../>
//   </ROWDATA></DATAPACKET>
//
// (broken here for reading). We write no change log: PARAMS has no
// attributes and no row a RowState, so a saved table loads back as one of
// unchanged records. A packet from elsewhere may carry RowState; each row
// keeps it as its change state, and a CHANGE_LOG is ignored.
//
// False when the sink failed or the work was cancelled.
bool writePacket(const ReadingTableSnapshot &table, ByteSink &sink, WorkProgress *progress = nullptr);

// Reads a packet into `table` (appending to what it holds; callers pass an
// empty one). The packet's fields must include the table's seven with their
// types and widths; other fields are ignored. Bytes that are not UTF-8 are
// read as Windows-1252. On a failure the table holds the rows read so far.
LoadResult readPacket(ByteSource &source, ReadingTable &table, WorkProgress *progress = nullptr);

// "hh:mm:" and seconds x 1000 + milliseconds in five digits; and back.
std::string packetTimeText(std::int32_t millisecondsOfDay);
bool parsePacketTime(std::string_view text, std::int32_t &millisecondsOfDay);

} // namespace tolmar
