// The reference SDK's stateless server for the host's comparison benchmark: a fresh server and
// transport for every request (the SDK's stateless pattern), answering in JSON, with the same
// three tools as the host (fetched from the host's own tools/list, so the lists are the same
// bytes of data) and the same bearer-token check before anything else. Listens on 127.0.0.1 at
// a free port and prints "http://127.0.0.1:<port>/mcp" on its first line.
//
//     node server.mjs TOKEN HOST_URL
import http from 'node:http';
import { Server } from '@modelcontextprotocol/sdk/server/index.js';
import { StreamableHTTPServerTransport } from '@modelcontextprotocol/sdk/server/streamableHttp.js';
import { CallToolRequestSchema, ListToolsRequestSchema } from '@modelcontextprotocol/sdk/types.js';

const [token, hostURL] = process.argv.slice(2);
if (!token || !hostURL) {
  console.error('usage: node server.mjs TOKEN HOST_URL');
  process.exit(2);
}

async function hostTools() {
  const response = await fetch(hostURL, {
    method: 'POST',
    headers: {
      Accept: 'application/json, text/event-stream',
      'Content-Type': 'application/json',
      Authorization: `Bearer ${token}`,
    },
    body: JSON.stringify({ jsonrpc: '2.0', id: 1, method: 'tools/list', params: {} }),
  });
  const answer = await response.json();
  if (!answer.result || !Array.isArray(answer.result.tools)) throw new Error(`no tool list: ${JSON.stringify(answer)}`);
  return answer.result.tools;
}

const tools = await hostTools();

function makeServer() {
  const server = new Server(
    { name: 'vantor-mcp', version: '1.0' },
    { capabilities: { tools: { listChanged: true } } },
  );
  server.setRequestHandler(ListToolsRequestSchema, async () => ({ tools }));
  server.setRequestHandler(CallToolRequestSchema, async (request) => ({
    content: [{ type: 'text', text: `${request.params.name} is a stub here` }],
  }));
  return server;
}

function refuse(res, status, message) {
  res.writeHead(status, { 'Content-Type': 'application/json' });
  res.end(JSON.stringify({ jsonrpc: '2.0', error: { code: -32600, message }, id: null }));
}

function readBody(req) {
  return new Promise((resolve, reject) => {
    const chunks = [];
    req.on('data', (chunk) => chunks.push(chunk));
    req.on('end', () => resolve(Buffer.concat(chunks).toString('utf8')));
    req.on('error', reject);
  });
}

const listener = http.createServer(async (req, res) => {
  if (req.headers.authorization !== `Bearer ${token}`) return refuse(res, 401, 'Unauthorized');
  let body;
  try {
    body = JSON.parse(await readBody(req));
  } catch {
    return refuse(res, 400, 'Parse error');
  }
  const server = makeServer();
  const transport = new StreamableHTTPServerTransport({ sessionIdGenerator: undefined, enableJsonResponse: true });
  res.on('close', () => {
    transport.close();
    server.close();
  });
  try {
    await server.connect(transport);
    await transport.handleRequest(req, res, body);
  } catch (error) {
    if (!res.headersSent) refuse(res, 500, String(error));
  }
});

listener.listen(0, '127.0.0.1', () => {
  console.log(`http://127.0.0.1:${listener.address().port}/mcp`);
});
for (const signal of ['SIGINT', 'SIGTERM']) process.on(signal, () => process.exit(0));
