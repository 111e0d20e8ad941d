// The reference SDK's client under the same load as the library's client_load, for
// bench/mcp/client/compare_reference.sh: connects once over Streamable HTTP, then keeps
// IN_FLIGHT calls of the "echo" tool going for SECONDS and prints one line:
// "rps=… cpu_us_per_call=… rss_mb=… failed=…". Exits 1 when a call failed.
//
//     node client_load.mjs URL IN_FLIGHT SECONDS
import { Client } from '@modelcontextprotocol/sdk/client/index.js';
import { StreamableHTTPClientTransport } from '@modelcontextprotocol/sdk/client/streamableHttp.js';

const [url, inFlightText, secondsText] = process.argv.slice(2);
const inFlight = Number(inFlightText);
const seconds = Number(secondsText);
if (!url || !(inFlight >= 1) || !(seconds > 0)) {
  console.error('usage: node client_load.mjs URL IN_FLIGHT SECONDS');
  process.exit(2);
}

const client = new Client({ name: 'client_load', version: '1.0' });
const transport = new StreamableHTTPClientTransport(new URL(url));
await client.connect(transport);

let calls = 0;
let failed = 0;
let firstFailure = '';
const began = performance.now();
const cpuBefore = process.cpuUsage();
const end = began + seconds * 1000;

async function callUntil() {
  while (performance.now() < end) {
    try {
      const result = await client.callTool({ name: 'echo', arguments: { text: 'hi' } });
      if (result.isError) throw new Error('the tool reported an error');
      calls += 1;
    } catch (error) {
      if (failed++ === 0) firstFailure = String(error);
    }
  }
}

await Promise.all(Array.from({ length: inFlight }, callUntil));
const elapsed = (performance.now() - began) / 1000;
const cpu = process.cpuUsage(cpuBefore);
const cpuMicroseconds = cpu.user + cpu.system;
await client.close();

const rssMegabytes = process.resourceUsage().maxRSS / 1024;
console.log(`rps=${(calls / elapsed).toFixed(0)} cpu_us_per_call=${(calls ? cpuMicroseconds / calls : 0).toFixed(1)} ` +
  `rss_mb=${rssMegabytes.toFixed(1)} failed=${failed}`);
if (failed > 0) {
  console.error(`client_load.mjs: ${failed} calls failed, the first with: ${firstFailure}`);
  process.exit(1);
}
