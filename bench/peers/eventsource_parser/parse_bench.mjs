// The npm parser on the input of our parser's JSONRPCEventsLF benchmark (bench/eventsource/
// parser_bench.cpp): 20,000 JSON-RPC events of exactly 200 bytes, fed in 16 KiB chunks.
// Prints one line per input form, "<form> <MB/s> <events per pass>", MB being 10^6 bytes, from
// the fastest pass:
//   text   the chunks as JavaScript strings, as the parser takes them (no UTF-8 decoding);
//   bytes  the chunks as bytes, decoded by a streaming TextDecoder before the parser, as a
//          reader of a live connection must.
//
//     node parse_bench.mjs [SECONDS_PER_FORM]
import { createParser } from 'eventsource-parser';

const seconds = Number(process.argv[2] ?? 2);
const kEventBytes = 200;
const kEvents = 20_000;
const kChunkBytes = 16 * 1024;

function jsonRPCEvent(index) {
  let head = `id: ${index}\nevent: message\n`;
  head += 'data: {"jsonrpc":"2.0","method":"notifications/progress","params":{"progressToken":"';
  const tail = '"}}\n\n';
  return head + 'x'.repeat(kEventBytes - head.length - tail.length) + tail;
}

const stream = Array.from({ length: kEvents }, (_, i) => jsonRPCEvent(i)).join('');
const textChunks = [];
for (let at = 0; at < stream.length; at += kChunkBytes) textChunks.push(stream.slice(at, at + kChunkBytes));
const bytes = new TextEncoder().encode(stream);
const byteChunks = [];
for (let at = 0; at < bytes.length; at += kChunkBytes) byteChunks.push(bytes.subarray(at, at + kChunkBytes));

let sink = 0;
function pass(feedAll) {
  let events = 0;
  const parser = createParser({
    onEvent(event) {
      sink += event.data.length;
      ++events;
    },
  });
  feedAll(parser);
  parser.reset({ consume: true });
  return events;
}

const forms = {
  text: (parser) => {
    for (const chunk of textChunks) parser.feed(chunk);
  },
  bytes: (parser) => {
    const decoder = new TextDecoder('utf-8');
    for (const chunk of byteChunks) parser.feed(decoder.decode(chunk, { stream: true }));
    parser.feed(decoder.decode());
  },
};

// The fastest pass counts: on a machine shared with other work, it is the one least disturbed.
for (const [name, feedAll] of Object.entries(forms)) {
  for (let i = 0; i < 20; ++i) pass(feedAll);  // warm-up, so the optimising compiler has run
  let fastest = Infinity;
  let events = 0;
  const end = process.hrtime.bigint() + BigInt(Math.round(seconds * 1e9));
  for (let now = process.hrtime.bigint(); now < end;) {
    events = pass(feedAll);
    const after = process.hrtime.bigint();
    fastest = Math.min(fastest, Number(after - now) / 1e9);
    now = after;
  }
  console.log(`${name} ${(bytes.length / fastest / 1e6).toFixed(0)} ${events}`);
}
if (sink === 0) console.error('no events');
