// A real OAuth 2 authorization server for the OAuth client's tests, on 127.0.0.1 and a free
// port. It prints "listening <port>" once it accepts connections, then one line per request
// ("POST /token"), so that a test can see what reached it and in which order.
//
// Clients, for the client-credentials grant:
//   basic-client / basic-secret   client_secret_basic
//   post-client / post-secret     client_secret_post
//   jwt-client                    private_key_jwt with ES256, its public key read from the PEM
//                                 file named by CLIENT_PUBLIC_KEY
// Tokens are issued for the resource "urn:vantor:test" with the scopes "read write".

import { createPublicKey } from 'node:crypto';
import { readFileSync } from 'node:fs';
import { createServer } from 'node:http';

import Provider from 'oidc-provider';

const kResource = 'urn:vantor:test';

const clients = [
  {
    client_id: 'basic-client',
    client_secret: 'basic-secret',
    token_endpoint_auth_method: 'client_secret_basic',
    grant_types: ['client_credentials'],
    response_types: [],
    redirect_uris: [],
  },
  {
    client_id: 'post-client',
    client_secret: 'post-secret',
    token_endpoint_auth_method: 'client_secret_post',
    grant_types: ['client_credentials'],
    response_types: [],
    redirect_uris: [],
  },
];
if (process.env.CLIENT_PUBLIC_KEY) {
  const jwk = createPublicKey(readFileSync(process.env.CLIENT_PUBLIC_KEY)).export({ format: 'jwk' });
  clients.push({
    client_id: 'jwt-client',
    token_endpoint_auth_method: 'private_key_jwt',
    token_endpoint_auth_signing_alg: 'ES256',
    jwks: { keys: [{ ...jwk, alg: 'ES256', use: 'sig' }] },
    grant_types: ['client_credentials'],
    response_types: [],
    redirect_uris: [],
  });
}

const server = createServer();
server.listen(0, '127.0.0.1', () => {
  const { port } = server.address();
  const provider = new Provider(`http://127.0.0.1:${port}`, {
    clients,
    ttl: { ClientCredentials: 600 },
    features: {
      devInteractions: { enabled: false },
      clientCredentials: { enabled: true },
      resourceIndicators: {
        enabled: true,
        defaultResource: () => kResource,
        getResourceServerInfo: () => ({ scope: 'read write', audience: kResource, accessTokenFormat: 'opaque' }),
      },
    },
  });
  const handle = provider.callback();
  server.on('request', (request, response) => {
    process.stdout.write(`${request.method} ${request.url.split('?')[0]}\n`);
    handle(request, response);
  });
  process.stdout.write(`listening ${port}\n`);
});

// The test holds standard input open; when it goes, so does the server.
process.stdin.on('end', () => process.exit(0));
process.stdin.resume();
